#include "locate/table_locator.h"

#include "locate/all_tables_search.h"
#include "locate/match_count.h"

namespace dovra {

std::vector<TableLocation> FindTables(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                                      std::span<const TableRegion> tables) {
    std::vector<std::span<const std::uint8_t>> needles;
    needles.reserve(tables.size());
    for (const TableRegion& table : tables) {
        needles.push_back(oldImage.subspan(table.address, table.size));
    }
    const std::vector<std::optional<std::uint32_t>> lowest = FindLowestOffsets(newImage, needles);
    const std::vector<std::uint32_t> counts = detail::CountMatches(newImage, needles, lowest, kMatchCountCap);
    std::vector<TableLocation> locations(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i) {
        locations[i].lowestMatch = lowest[i];
        locations[i].matchCount = counts[i];
    }
    return locations;
}

} // namespace dovra
