#pragma once

#include <cstdint>
#include <optional>
#include <span>

// Finding an old table's bytes in the new binary. Images are below 4 GiB, so offsets are 32-bit.
namespace dovra {

// The lowest offset at which every byte of `needle` matches `haystack`; nullopt when there is none.
// An empty needle is found at offset 0. Time is linear in haystack and needle size whatever the data:
// game binaries hold long zero-filled areas and tables that begin with thousands of zero bytes, where a
// scan that compares the whole needle at every candidate would take hours.
std::optional<std::uint32_t> FindLowestOffset(std::span<const std::uint8_t> haystack,
                                              std::span<const std::uint8_t> needle);

// The plain method, kept as the reference for tests and benchmarks: every offset where the needle's first
// byte occurs, in ascending order, compared with the whole needle. Same results, quadratic worst case.
std::optional<std::uint32_t> FindLowestOffsetNaive(std::span<const std::uint8_t> haystack,
                                                   std::span<const std::uint8_t> needle);

namespace detail {

// FindLowestOffset with the needle position whose byte memchr scans for given: a caller that knows which
// byte values the haystack holds rarely chooses better than the needle alone can tell.
std::optional<std::uint32_t> FindLowestOffsetByAnchor(std::span<const std::uint8_t> haystack,
                                                      std::span<const std::uint8_t> needle, std::size_t anchor);

// The worst-case-linear scan that FindLowestOffset falls back on (exposed for tests): the lowest match at
// or after `from`.
std::optional<std::uint32_t> FindLowestOffsetLinear(std::span<const std::uint8_t> haystack,
                                                    std::span<const std::uint8_t> needle, std::size_t from);

} // namespace detail
} // namespace dovra
