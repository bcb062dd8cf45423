#include "rewrite/image_region.h"

#include <algorithm>

namespace dovra {

bool RegionFits(const BinaryImage& image, std::uint32_t base, std::uint32_t size) {
    return std::uint64_t{base} + size <= image.size;
}

std::span<const std::uint8_t> RegionBytes(const BinaryImage& image, std::uint32_t base, std::uint32_t size) {
    return {image.data.get() + base, size};
}

std::span<std::uint8_t> RegionBytes(BinaryImage& image, std::uint32_t base, std::uint32_t size) {
    return {image.data.get() + base, size};
}

std::uint32_t CountDifferingBytes(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second) {
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < first.size(); ++i) {
        count += first[i] != second[i] ? 1 : 0;
    }
    return count;
}

bool LeadingBytesEqual(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second,
                       std::uint32_t length) {
    return std::ranges::equal(first.first(length), second.first(length));
}

} // namespace dovra
