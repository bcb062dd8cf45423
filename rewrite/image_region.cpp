#include "rewrite/image_region.h"

#include <algorithm>
#include <cstring>

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
    // Nearly every table of a rewrite matches, or differs in a few bytes: blocks that compare equal (memcmp,
    // many bytes a step) are passed over, and only the others are counted byte by byte.
    constexpr std::size_t kBlock = 512;
    std::uint32_t count = 0;
    for (std::size_t at = 0; at < first.size(); at += kBlock) {
        const std::size_t end = std::min(first.size(), at + kBlock);
        if (std::memcmp(first.data() + at, second.data() + at, end - at) == 0) {
            continue;
        }
        for (std::size_t i = at; i < end; ++i) {
            count += first[i] != second[i] ? 1 : 0;
        }
    }
    return count;
}

bool LeadingBytesEqual(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second,
                       std::uint32_t length) {
    return std::ranges::equal(first.first(length), second.first(length));
}

} // namespace dovra
