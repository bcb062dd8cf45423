#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The places the alignment samples its grams at, found in one pass over an image: the positions of any
// of a few byte values, or the positions where a stretch of zeros ends. A memchr pass for each value
// read the image once per value; vector compares test every value against the same loaded bytes.
namespace dovra::detail {

// Up to this many byte values looked for at once.
inline constexpr std::size_t kMaximumScanValues = 3;

struct ScanValues {
    std::uint8_t values[kMaximumScanValues] = {};
    std::size_t count = 0;
};

// Writes to `hits` every position x in [from, to) whose byte is one of `values` (none when there are no
// values), in ascending order, and returns how many. `to` is at most data.size(); `hits` has room for
// to - from positions.
using ValueScan = std::size_t (*)(std::span<const std::uint8_t> data, std::size_t from, std::size_t to,
                                  const ScanValues& values, std::uint32_t* hits);

// Writes to `hits` every position x in [from, to) whose byte is not zero and that is 0 or follows a zero,
// in ascending order, and returns how many. As above for `to` and `hits`.
using ZeroEndScan = std::size_t (*)(std::span<const std::uint8_t> data, std::size_t from, std::size_t to,
                                    std::uint32_t* hits);

struct ByteScans {
    ValueScan values;
    ZeroEndScan zeroEnds;
};

// The fastest scans the processor runs; all give the same hits.
ByteScans FastestByteScans();
// Every set of scans this processor can run, the portable one first, for tests that compare them.
std::vector<ByteScans> AvailableByteScans();

} // namespace dovra::detail
