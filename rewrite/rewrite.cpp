#include <algorithm>

#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "engine/texts.h"
#include "rewrite/field_walk.h"
#include "rewrite/image_region.h"
#include "rewrite/output_file.h"
#include "rewrite/three_way_table.h"

using dovra::RewriteOutcome;
using dovra::TableOutcome;
using dovra::TableSummary;

namespace {

void LogTableHeading(const CDefinitionUpdater& engine, const std::string& name, const TableSummary& oldTable,
                     const TableSummary& newTable) {
    engine.Log(name);
    engine.Log(fmt::format(fmt::runtime(dovra::text::kRewriteAddressLine), oldTable.baseAddress, newTable.baseAddress));
    engine.Log(fmt::format(fmt::runtime(dovra::text::kRewriteSizeLine), oldTable.tableSize, newTable.tableSize));
}

// Equal sizes: matching data are reported; differing data are rewritten only when the user agrees, after
// being told how many bytes differ.
bool ShouldRewriteFields(const CDefinitionUpdater& engine, const std::string& name, const dovra::TableRegions& regions,
                         RewriteOutcome& outcome) {
    std::uint32_t differing = dovra::CountDifferingBytes(regions.oldBytes, regions.newBytes);
    if (differing == 0) {
        engine.Log(dovra::text::kDataMatch);
        outcome.outcome = TableOutcome::kMatch;
        return false;
    }
    const bool yes = engine.Confirm(
        fmt::format(fmt::runtime(dovra::text::kDataDiffersQuestion), name, differing, regions.oldBytes.size()));
    outcome.outcome = yes ? TableOutcome::kRewritten : TableOutcome::kSkipped;
    return yes;
}

// Different sizes: only the bytes both regions have are compared; equal ones need no copy.
bool ShouldCopyRegion(const CDefinitionUpdater& engine, const std::string& name, const dovra::TableRegions& regions,
                      std::uint32_t commonSize, RewriteOutcome& outcome) {
    if (dovra::LeadingBytesEqual(regions.oldBytes, regions.newBytes, commonSize)) {
        engine.Log(dovra::text::kDataMatch);
        outcome.outcome = TableOutcome::kMatch;
        return false;
    }
    const bool yes = engine.Confirm(fmt::format(fmt::runtime(dovra::text::kRegionSizeDiffersQuestion), name));
    outcome.outcome = yes ? TableOutcome::kRewritten : TableOutcome::kSkipped;
    return yes;
}

// The plain rewrite of one table whose regions passed the range tests: every differing field is carried.
void RewriteTablePlain(const CDefinitionUpdater& engine, const TableSummary& oldTable, const TableSummary& newTable,
                       const dovra::TableRegions& regions, const dovra::DefinitionTable& layout,
                       const dovra::RecordNameList& recordNames, RewriteOutcome& outcome) {
    const std::string& name = outcome.name;
    if (oldTable.tableSize == newTable.tableSize) {
        if (ShouldRewriteFields(engine, name, regions, outcome)) {
            outcome.fieldsWritten = dovra::RewriteFields(engine, regions, oldTable.recordSize, layout, recordNames);
        }
    } else if (newTable.tableSize == 0) {
        engine.Log(fmt::format(fmt::runtime(dovra::text::kNewDefinitionMissing), name));
        outcome.outcome = TableOutcome::kError;
    } else {
        // Never more than both regions hold: a larger old table must not spill into whatever follows the
        // new table, and a smaller one leaves the rest of the new region as it was.
        std::uint32_t commonSize = std::min(oldTable.tableSize, newTable.tableSize);
        if (ShouldCopyRegion(engine, name, regions, commonSize, outcome)) {
            std::ranges::copy(regions.oldBytes.first(commonSize), regions.newBytes.begin());
        }
    }
}

void LogThreeWaySummary(const CDefinitionUpdater& engine, const dovra::RewriteOutcomes& outcomes) {
    std::uint32_t carried = 0;
    std::uint32_t fields = 0;
    std::uint32_t conflicts = 0;
    std::uint32_t skipped = 0;
    std::uint32_t errors = 0;
    for (const RewriteOutcome& outcome : outcomes) {
        carried += outcome.outcome == TableOutcome::kRewritten ? 1 : 0;
        skipped += outcome.outcome == TableOutcome::kSkipped || outcome.outcome == TableOutcome::kError ? 1 : 0;
        errors += outcome.outcome == TableOutcome::kError ? 1 : 0;
        fields += outcome.fieldsWritten;
        conflicts += outcome.conflicts;
    }
    engine.Log(fmt::format(fmt::runtime(dovra::text::kThreeWaySummary), carried, fields, conflicts, skipped, errors));
}

} // namespace

bool CDefinitionUpdater::Rewrite() {
    const std::string outputPath = dovra::OutputPathFor(m_newBinaryPath);
    const bool threeWay = m_baseImage.IsLoaded();
    m_lastRewrite.clear();
    for (const std::string& name : dovra::SortedTableNames(m_oldSummaries)) {
        const TableSummary oldTable = m_oldSummaries.at(name);
        // A table the new settings folder lacks is added to the new maps empty, so it reads with size 0.
        const TableSummary newTable = m_newSummaries[name];
        RewriteOutcome& outcome = m_lastRewrite.emplace_back(
            RewriteOutcome{name, oldTable.baseAddress, newTable.baseAddress, oldTable.tableSize, newTable.tableSize});
        LogTableHeading(*this, name, oldTable, newTable);
        if (!dovra::RegionFits(m_oldImage, oldTable.baseAddress, oldTable.tableSize) ||
            !dovra::RegionFits(m_newImage, newTable.baseAddress, newTable.tableSize) ||
            (threeWay && !dovra::RegionFits(m_baseImage, oldTable.baseAddress, oldTable.tableSize))) {
            // The error text carries its own line end, which closes the table's block.
            Log(dovra::text::kAddressBeyondFileCrLf);
            outcome.outcome = TableOutcome::kError;
            continue;
        }
        auto oldBytes = dovra::RegionBytes(m_oldImage, oldTable.baseAddress, oldTable.tableSize);
        auto newBytes = dovra::RegionBytes(m_newImage, newTable.baseAddress, newTable.tableSize);
        if (threeWay) {
            dovra::ThreeWayRegions regions{dovra::RegionBytes(m_baseImage, oldTable.baseAddress, oldTable.tableSize),
                                           oldBytes, newBytes, newTable.baseAddress};
            dovra::RewriteTableThreeWay(*this, oldTable, newTable, regions, m_newTables[name], m_newRecordNames[name],
                                        outcome);
        } else {
            dovra::TableRegions regions{oldBytes, newBytes, newTable.baseAddress};
            RewriteTablePlain(*this, oldTable, newTable, regions, m_newTables[name], m_newRecordNames[name], outcome);
        }
        Log("");
    }
    if (threeWay) {
        LogThreeWaySummary(*this, m_lastRewrite);
    }
    return dovra::WriteRewrittenBinary(*this, m_newImage, outputPath, m_oldBinaryPath,
                                       threeWay ? m_baseBinaryPath : std::string());
}
