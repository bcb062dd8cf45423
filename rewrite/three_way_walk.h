#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "definitions/definition_table.h"
#include "engine/definition_updater.h"

// The three-way rewrite's field walk: each field has the unmodified old binary's value (base), the user's
// edited old binary's value and the new binary's value, and only what the user changed is carried.
namespace dovra {

// Three regions of one length, already checked against their images.
struct ThreeWayRegions {
    std::span<const std::uint8_t> baseBytes;
    std::span<const std::uint8_t> userBytes;
    std::span<std::uint8_t> newBytes;
    std::uint32_t newBase = 0; // address of newBytes[0] in the new binary, for the log
};

enum class FieldMerge {
    kUntouched,  // the user's value is the base value: the new binary's value stands
    kTakeUser,   // only the user changed it: the user's value is written
    kSameChange, // the user and the update changed it to the same value: nothing to do
    kConflict,   // both changed it, differently: the user's value is written and the conflict told
};

// The rule for one field, given its three values (spans of one width).
FieldMerge MergeField(std::span<const std::uint8_t> base, std::span<const std::uint8_t> user,
                      std::span<const std::uint8_t> now);

struct MergeCounts {
    std::uint32_t fieldsWritten = 0; // conflicts included
    std::uint32_t conflicts = 0;
};

// Walks the regions field by field as the plain rewrite does (records of the new settings folder's
// `layout`, with a line first when their size is not the old table's `recordSize`; widths and names from
// `layout` and `recordNames`), writes the user's value of every field taken or in conflict into the new
// region, and logs one line for each.
MergeCounts MergeFields(const CDefinitionUpdater& engine, const ThreeWayRegions& regions, std::uint32_t recordSize,
                        const DefinitionTable& layout, const RecordNameList& recordNames);

// Byte positions at which the user's region differs from the base region: what the user changed.
std::uint32_t CountUserChangedBytes(std::span<const std::uint8_t> base, std::span<const std::uint8_t> user);

// The number of fields MergeFields would write, without writing or logging: a table whose every change the
// update already made is reported as matching instead of being asked about.
std::uint32_t CountFieldsToCarry(const ThreeWayRegions& regions, std::uint32_t recordSize,
                                 const DefinitionTable& layout);

} // namespace dovra
