#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace dovra::detail {

// A quick look at some hundred thousand places in the haystack, to tell which grams and bytes it holds
// often. Binaries repeat their strings, small numbers and fill patterns many times over; a table's
// gram that the haystack holds everywhere makes a candidate everywhere. The search picks every table's
// grams and anchor bytes among those this profile saw least. Only the speed depends on it, never a result.
class HaystackProfile {
public:
    explicit HaystackProfile(std::span<const std::uint8_t> haystack);

    // About how often the 8-byte gram (read as in LoadGram) turned up among the samples; 0 for most.
    std::uint32_t GramCount(std::uint64_t gram) const;
    // The same for a 4-byte anchor (read as in LoadAnchor).
    std::uint32_t AnchorCount(std::uint32_t anchor) const;
    // How often the byte value turned up among the sampled bytes.
    std::uint32_t ByteCount(std::uint8_t value) const { return m_bytes[value]; }

private:
    // Two counters per gram under different hashes; the smaller is the estimate (a count-min sketch).
    struct Sketch {
        std::vector<std::uint8_t> first;
        std::vector<std::uint8_t> second;
        int shift = 64;

        void Size(std::size_t keys);
        void Add(std::uint64_t key);
        std::uint32_t Count(std::uint64_t key) const;
    };

    Sketch m_grams;
    Sketch m_anchors;
    std::array<std::uint32_t, 256> m_bytes{};
};

} // namespace dovra::detail
