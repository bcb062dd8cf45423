#include "locate/table_locator.h"

#include "locate/all_tables_search.h"

namespace dovra {

std::vector<TableLocation> FindTables(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                                      std::span<const TableRegion> tables) {
    std::vector<std::span<const std::uint8_t>> needles;
    needles.reserve(tables.size());
    for (const TableRegion& table : tables) {
        needles.push_back(oldImage.subspan(table.address, table.size));
    }
    const std::vector<std::optional<std::uint32_t>> lowest = FindLowestOffsets(newImage, needles);
    std::vector<TableLocation> locations(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i) {
        locations[i].lowestMatch = lowest[i];
        locations[i].matchCount = lowest[i] ? 1 : 0;
    }
    return locations;
}

} // namespace dovra
