#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/definition_table.h"
#include "engine/definition_updater.h"

// How both field walks of the rewrite divide a table region into fields and name them.
namespace dovra {

// The width of the field at `position` of a region, the region's records `recordSize` (at least 1) bytes
// long: 4 or 2 where the definition line for the offset says exactly "4" or "2", else 1. A definition file
// with fewer lines than the record has bytes gives 1-byte fields for the rest, and a wide field that would
// reach past `regionSize` is taken byte by byte instead.
std::uint32_t FieldWidthAt(const DefinitionTable& layout, std::uint32_t recordSize, std::uint32_t position,
                           std::uint32_t regionSize);

// Values in the target binaries are little-endian; up to 4 bytes.
std::uint32_t LittleEndianValue(std::span<const std::uint8_t> bytes);

// A missing name (the lists may be shorter than the old table's layout) shows as empty text.
std::string_view NameAt(const RecordNameList& names, std::uint32_t index);
// Field names are kept only for the offsets a line names.
const std::string& NameAt(const std::map<std::uint32_t, std::string>& names, std::uint32_t offset);

// The record size a walk divides positions by (at least 1). Widths, field names and record names all come
// from the new settings folder's `layout`, so its records are the ones walked: dividing by the old table's
// `oldRecordSize` would name every field from a layout it does not belong to. The bytes written are the
// same either way when both tables have the same size. Without a layout the old record size stands.
std::uint32_t WalkedRecordSize(std::uint32_t oldRecordSize, const DefinitionTable& layout);

// WalkedRecordSize, with a log line first when it is not the old table's, so the user knows which layout
// names the fields that follow.
std::uint32_t TellWalkedRecordSize(const CDefinitionUpdater& engine, std::uint32_t oldRecordSize,
                                   const DefinitionTable& layout);

} // namespace dovra
