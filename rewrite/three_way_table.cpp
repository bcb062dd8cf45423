#include "rewrite/three_way_table.h"

#include <algorithm>
#include <optional>

#include <fmt/format.h>

#include "engine/texts.h"
#include "rewrite/image_region.h"

namespace dovra {
namespace {

ThreeWayRegions Leading(const ThreeWayRegions& regions, std::uint32_t length) {
    return {regions.baseBytes.first(length), regions.userBytes.first(length), regions.newBytes.first(length),
            regions.newBase};
}

// Record sizes differ as well as table sizes: positions in the two tables mean different fields, so the
// user's changes cannot be picked out. Told, then handled as the plain rewrite does.
void CopyRegionOnRequest(const CDefinitionUpdater& engine, const std::string& name, const ThreeWayRegions& regions,
                         std::uint32_t commonSize, RewriteOutcome& outcome) {
    engine.Log(text::kRecordSizeDiffers);
    if (LeadingBytesEqual(regions.userBytes, regions.newBytes, commonSize)) {
        engine.Log(text::kDataMatch);
        outcome.outcome = TableOutcome::kMatch;
        return;
    }
    if (!engine.Confirm(fmt::format(fmt::runtime(text::kRegionSizeDiffersQuestion), name))) {
        outcome.outcome = TableOutcome::kSkipped;
        return;
    }
    std::ranges::copy(regions.userBytes.first(commonSize), regions.newBytes.begin());
    outcome.outcome = TableOutcome::kRewritten;
}

// The part of the table both folders describe with the same records: all of it for equal sizes, the
// records both have for equal record sizes; nothing when the records differ.
std::optional<std::uint32_t> WalkedLength(const TableSummary& oldTable, const TableSummary& newTable) {
    if (oldTable.tableSize == newTable.tableSize) {
        return oldTable.tableSize;
    }
    if (oldTable.recordSize != newTable.recordSize || oldTable.recordSize == 0) {
        return std::nullopt;
    }
    const std::uint32_t common = std::min(oldTable.tableSize, newTable.tableSize);
    return common - common % oldTable.recordSize;
}

} // namespace

void RewriteTableThreeWay(const CDefinitionUpdater& engine, const TableSummary& oldTable, const TableSummary& newTable,
                          const ThreeWayRegions& regions, const DefinitionTable& layout,
                          const RecordNameList& recordNames, RewriteOutcome& outcome) {
    // Whatever the update did to a table the user never edited, the new binary's version stands.
    if (std::ranges::equal(regions.userBytes, regions.baseBytes)) {
        engine.Log(text::kUnchangedByUser);
        outcome.outcome = TableOutcome::kUnchanged;
        return;
    }
    if (oldTable.tableSize != newTable.tableSize && newTable.tableSize == 0) {
        engine.Log(fmt::format(fmt::runtime(text::kNewDefinitionMissing), outcome.name));
        outcome.outcome = TableOutcome::kError;
        return;
    }
    const std::string& name = outcome.name;
    const std::optional<std::uint32_t> common = WalkedLength(oldTable, newTable);
    if (!common) {
        CopyRegionOnRequest(engine, name, regions, std::min(oldTable.tableSize, newTable.tableSize), outcome);
        return;
    }
    const std::uint32_t walked = *common;
    // Edits in records the new table no longer has have nowhere to go; the user is told how much is left.
    const std::uint32_t dropped =
        CountUserChangedBytes(regions.baseBytes.subspan(walked), regions.userBytes.subspan(walked));
    if (dropped > 0) {
        engine.Log(fmt::format(fmt::runtime(text::kEditsBeyondNewTable), dropped));
    }
    const ThreeWayRegions part = Leading(regions, walked);
    const std::uint32_t changed = CountUserChangedBytes(part.baseBytes, part.userBytes);
    if (changed == 0) {
        outcome.outcome = TableOutcome::kSkipped;
        return;
    }
    if (CountFieldsToCarry(part, oldTable.recordSize, layout) == 0) {
        engine.Log(text::kDataMatch);
        outcome.outcome = TableOutcome::kMatch;
        return;
    }
    if (!engine.Confirm(fmt::format(fmt::runtime(text::kOwnChangesQuestion), name, changed, walked))) {
        outcome.outcome = TableOutcome::kSkipped;
        return;
    }
    const MergeCounts counts = MergeFields(engine, part, oldTable.recordSize, layout, recordNames);
    outcome.outcome = TableOutcome::kRewritten;
    outcome.fieldsWritten = counts.fieldsWritten;
    outcome.conflicts = counts.conflicts;
}

} // namespace dovra
