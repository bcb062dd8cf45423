#include "locate/haystack_profile.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace dovra::detail {
namespace {

// A quarter of a megabyte in all: enough to see the grams that turn up about once in a hundred
// kilobytes, which make thousands of candidates in a large binary, at a few per cent of a pass over it.
constexpr std::size_t kStretches = 64;
constexpr std::size_t kStretchBytes = 4096;
// Counters per sketch: about two per sampled position, at most this many.
constexpr std::size_t kMaxCounters = std::size_t{1} << 18;
constexpr std::uint64_t kFirstHash = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kSecondHash = 0xC2B2AE3D27D4EB4Full;

void Increment(std::uint8_t& counter) {
    if (counter != 0xFF) {
        ++counter;
    }
}

} // namespace

void HaystackProfile::Sketch::Size(std::size_t keys) {
    const std::size_t counters = std::min(kMaxCounters, std::bit_ceil(std::max<std::size_t>(64, 2 * keys)));
    first.assign(counters, 0);
    second.assign(counters, 0);
    shift = 64 - std::countr_zero(counters);
}

void HaystackProfile::Sketch::Add(std::uint64_t key) {
    Increment(first[(key * kFirstHash) >> shift]);
    Increment(second[(key * kSecondHash) >> shift]);
}

std::uint32_t HaystackProfile::Sketch::Count(std::uint64_t key) const {
    if (first.empty()) {
        return 0;
    }
    return std::min(first[(key * kFirstHash) >> shift], second[(key * kSecondHash) >> shift]);
}

HaystackProfile::HaystackProfile(std::span<const std::uint8_t> haystack) {
    if (haystack.size() < 8) {
        return;
    }
    // Every position of a few dozen stretches spread over the haystack: contiguous stretches cost one
    // cache and page-table miss per line instead of one per sample, so many more grams can be seen. Their
    // starts are an odd distance apart, so data aligned to any power of two is not always met the same way.
    const std::size_t positions = haystack.size() - 7;
    const std::size_t stretch = std::min(kStretchBytes, positions);
    const std::size_t stretches = std::min(kStretches, positions / stretch);
    const std::size_t distance = (positions - stretch) / std::max<std::size_t>(1, stretches - 1) | 1;
    m_grams.Size(stretches * stretch);
    m_anchors.Size(stretches * stretch);
    for (std::size_t k = 0; k < stretches; ++k) {
        const std::size_t begin = std::min(k * distance, positions - stretch);
        for (std::size_t at = begin; at < begin + stretch; ++at) {
            std::uint64_t gram;
            std::memcpy(&gram, haystack.data() + at, sizeof gram);
            m_grams.Add(gram);
            std::uint32_t anchor;
            std::memcpy(&anchor, haystack.data() + at, sizeof anchor);
            m_anchors.Add(anchor);
            ++m_bytes[haystack[at]];
        }
    }
}

std::uint32_t HaystackProfile::GramCount(std::uint64_t gram) const {
    return m_grams.Count(gram);
}

std::uint32_t HaystackProfile::AnchorCount(std::uint32_t anchor) const {
    return m_anchors.Count(anchor);
}

} // namespace dovra::detail
