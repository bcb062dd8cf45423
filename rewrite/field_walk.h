#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "definitions/definition_table.h"
#include "engine/definition_updater.h"

namespace dovra {

// Where one table's old and new data lie: two regions of one length, already checked against their images.
struct TableRegions {
    std::span<const std::uint8_t> oldBytes;
    std::span<std::uint8_t> newBytes;
    std::uint32_t newBase = 0; // address of newBytes[0] in the new binary, for the log
};

// Walks the table field by field and writes every field whose old value differs into the new region, with
// one log line per field written. `layout` and `recordNames` (the new settings folder's) give each
// offset's width and name and each record's name, and the layout's record size divides positions into
// records; where it differs from `recordSize` (the old table's) a line says so first. Afterwards the new
// region equals the old one. Returns the number of fields written.
std::uint32_t RewriteFields(const CDefinitionUpdater& engine, const TableRegions& regions, std::uint32_t recordSize,
                            const DefinitionTable& layout, const RecordNameList& recordNames);

} // namespace dovra
