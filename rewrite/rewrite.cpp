#include <algorithm>

#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "engine/texts.h"
#include "rewrite/field_walk.h"
#include "rewrite/image_region.h"
#include "rewrite/output_file.h"

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
bool ShouldRewriteFields(const CDefinitionUpdater& engine, const std::string& name,
                         const dovra::TableRegions& regions) {
    std::uint32_t differing = dovra::CountDifferingBytes(regions.oldBytes, regions.newBytes);
    if (differing == 0) {
        engine.Log(dovra::text::kDataMatch);
        return false;
    }
    return engine.Confirm(
        fmt::format(fmt::runtime(dovra::text::kDataDiffersQuestion), name, differing, regions.oldBytes.size()));
}

// Different sizes: only the bytes both regions have are compared; equal ones need no copy.
bool ShouldCopyRegion(const CDefinitionUpdater& engine, const std::string& name, const dovra::TableRegions& regions,
                      std::uint32_t commonSize) {
    if (dovra::LeadingBytesEqual(regions.oldBytes, regions.newBytes, commonSize)) {
        engine.Log(dovra::text::kDataMatch);
        return false;
    }
    return engine.Confirm(fmt::format(fmt::runtime(dovra::text::kRegionSizeDiffersQuestion), name));
}

} // namespace

bool CDefinitionUpdater::Rewrite() {
    const std::string outputPath = dovra::OutputPathFor(m_newBinaryPath);
    for (const std::string& name : dovra::SortedTableNames(m_oldSummaries)) {
        const TableSummary oldTable = m_oldSummaries.at(name);
        // A table the new settings folder lacks is added to the new maps empty, so it reads with size 0.
        const TableSummary newTable = m_newSummaries[name];
        LogTableHeading(*this, name, oldTable, newTable);
        if (!dovra::RegionFits(m_oldImage, oldTable.baseAddress, oldTable.tableSize) ||
            !dovra::RegionFits(m_newImage, newTable.baseAddress, newTable.tableSize)) {
            // The error text carries its own line end, which closes the table's block.
            Log(dovra::text::kAddressBeyondFileCrLf);
            continue;
        }
        dovra::TableRegions regions{dovra::RegionBytes(m_oldImage, oldTable.baseAddress, oldTable.tableSize),
                                    dovra::RegionBytes(m_newImage, newTable.baseAddress, newTable.tableSize),
                                    newTable.baseAddress};
        if (oldTable.tableSize == newTable.tableSize) {
            if (ShouldRewriteFields(*this, name, regions)) {
                dovra::RewriteFields(*this, regions, oldTable.recordSize, m_newTables[name], m_newRecordNames[name]);
            }
        } else if (newTable.tableSize == 0) {
            Log(fmt::format(fmt::runtime(dovra::text::kNewDefinitionMissing), name));
        } else {
            // Never more than both regions hold: a larger old table must not spill into whatever follows the
            // new table, and a smaller one leaves the rest of the new region as it was.
            std::uint32_t commonSize = std::min(oldTable.tableSize, newTable.tableSize);
            if (ShouldCopyRegion(*this, name, regions, commonSize)) {
                std::ranges::copy(regions.oldBytes.first(commonSize), regions.newBytes.begin());
            }
        }
        Log("");
    }
    return dovra::WriteRewrittenBinary(*this, m_newImage, outputPath, m_oldBinaryPath);
}
