#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// How many times each table's bytes stand in the new image. A table found once is placed with certainty;
// one found at several places needs its neighbourhood to tell which place is its own.
namespace dovra::detail {

// For every needle with a lowest match, the number of offsets in `haystack` where all its bytes match,
// counted up to `cap` (a count of `cap` means "this many or more"); 0 for needles without a lowest match.
// One pass over the haystack for all needles together (two threads on large haystacks, the same answer);
// a needle whose key gram is everywhere in the haystack but whose bytes are not is counted on its own in
// worst-case linear time instead of being compared at every place.
std::vector<std::uint32_t> CountMatches(std::span<const std::uint8_t> haystack,
                                        std::span<const std::span<const std::uint8_t>> needles,
                                        std::span<const std::optional<std::uint32_t>> lowest, std::uint32_t cap);

} // namespace dovra::detail
