#include "rewrite/base_check.h"

#include <fmt/format.h>

#include "engine/texts.h"
#include "rewrite/image_region.h"

namespace dovra {

std::optional<std::string> BaseMismatch(const SummaryMap& oldSummaries, const BinaryImage& oldImage,
                                        const BinaryImage& base) {
    std::uint32_t comparable = 0;
    std::uint32_t mostlyDifferent = 0;
    for (const std::string& name : SortedTableNames(oldSummaries)) {
        const TableSummary& table = oldSummaries.at(name);
        // A table outside the old binary is reported by the rewrite itself; the base has nothing to match.
        if (table.tableSize == 0 || !RegionFits(oldImage, table.baseAddress, table.tableSize)) {
            continue;
        }
        if (!RegionFits(base, table.baseAddress, table.tableSize)) {
            return fmt::format(fmt::runtime(text::kBaseMissesTable), name, table.baseAddress, table.tableSize);
        }
        const std::uint32_t differing = CountDifferingBytes(RegionBytes(oldImage, table.baseAddress, table.tableSize),
                                                            RegionBytes(base, table.baseAddress, table.tableSize));
        ++comparable;
        mostlyDifferent += std::uint64_t{differing} * 2 > table.tableSize ? 1 : 0;
    }
    if (std::uint64_t{mostlyDifferent} * 2 > comparable) {
        return fmt::format(fmt::runtime(text::kBaseUnlikeOldBinary), comparable, mostlyDifferent);
    }
    return std::nullopt;
}

} // namespace dovra
