#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace dovra::detail {

// Four bytes of a short table, looked for at every position of the haystack.
inline constexpr std::size_t kAnchorLength = 4;

// Up to eight groups of anchors as nibble tables: bit g of low[m][n] is set when some anchor of group g
// has n as the low nibble of its byte m, and likewise for the high nibbles. A position passes when, for
// some group, all four bytes there have both nibbles in that group's tables. Anchors that pass are not
// necessarily there (the nibbles may come from different anchors of a group) but every anchor that is
// there passes. With vector shuffles the test costs a fraction of a cycle per byte.
struct AnchorMasks {
    alignas(16) std::uint8_t low[kAnchorLength][16] = {};
    alignas(16) std::uint8_t high[kAnchorLength][16] = {};
    // No anchor is four zero bytes, so stretches of zeros (the fill of binaries, where the nibble tables of
    // the groups often accept zero bytes) are passed over a vector at a time.
    bool skipZeros = false;
};

// Writes to `hits` every position x in [from, to) with x + 4 <= data.size() that passes the masks, in
// ascending order, and returns how many; with skipZeros, positions of four zero bytes may be left out.
// `hits` has room for to - from positions.
using AnchorFilter = std::size_t (*)(std::span<const std::uint8_t> data, std::size_t from, std::size_t to,
                                     const AnchorMasks& masks, std::uint32_t* hits);

// The fastest filter the processor runs; all give the same hits.
AnchorFilter FastestAnchorFilter();
std::size_t PortableAnchorFilter(std::span<const std::uint8_t> data, std::size_t from, std::size_t to,
                                 const AnchorMasks& masks, std::uint32_t* hits);
// Every filter this processor can run, for tests that compare them.
std::vector<AnchorFilter> AvailableAnchorFilters();

} // namespace dovra::detail
