#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Finding every old table's bytes in the new binary at once. The create command searches a thousand
// tables or more in binaries of up to a gigabyte; one search per table would read the binary a thousand
// times.
namespace dovra {

// For every needle, the lowest offset at which all its bytes match `haystack`, or nullopt when there is
// none: exactly what FindLowestOffset gives for each needle alone (an empty needle is found at 0).
// The haystack is read about once for all needles together; time is linear in its size whatever the
// data, with a small share per needle.
std::vector<std::optional<std::uint32_t>> FindLowestOffsets(std::span<const std::uint8_t> haystack,
                                                            std::span<const std::span<const std::uint8_t>> needles);

// The plain method for every needle (FindLowestOffsetNaive), the reference for tests and benchmarks.
std::vector<std::optional<std::uint32_t>>
FindLowestOffsetsNaive(std::span<const std::uint8_t> haystack, std::span<const std::span<const std::uint8_t>> needles);

namespace detail {

// The knobs of FindLowestOffsets, for tests that drive every path with small data; the results never
// depend on them.
struct SearchTuning {
    // Sampling strides, widest first; a needle goes to the widest one it is long enough for. Odd (prime)
    // strides: a stride that is a multiple of the record size puts every sample of a residue on the same
    // byte of the record, and a table whose records have a zero stretch there would have nothing but runs
    // for that residue.
    std::vector<std::size_t> strides = {61, 17};
    // The haystack is scanned in blocks small enough to stay in the second-level cache while every
    // stride reads them.
    std::size_t blockSize = std::size_t{1} << 16;
    // Comparison bytes each needle may spend on candidates beyond one whole comparison: one per this many
    // haystack bytes, and at least `minimumBudget`. A needle that spends it is searched on its own (in
    // linear time) instead. That costs at least a memchr pass, about what an eighth of the haystack's
    // size in candidate comparisons costs, so the budget keeps the worst case near the cost of the
    // search on its own while tables whose grams are common in the haystack (text, mostly) stay in the
    // shared scan.
    std::uint64_t haystackBytesPerBudgetByte = 8;
    std::uint64_t minimumBudget = std::uint64_t{1} << 16;
    // With two threads each scans half of the haystack's starts; below this many bytes per thread the
    // second one costs more than it saves.
    unsigned threads = 2;
    std::size_t minimumBytesPerThread = std::size_t{4} << 20;
};

std::vector<std::optional<std::uint32_t>> FindLowestOffsets(std::span<const std::uint8_t> haystack,
                                                            std::span<const std::span<const std::uint8_t>> needles,
                                                            const SearchTuning& tuning);

// For every needle with a lowest match (from FindLowestOffsets), the number of offsets where all its bytes
// match, counted up to `cap` (a count of `cap` means "this many or more"); 0 for the others. The same
// one-pass scan as the search, but a match does not end a needle's search; what the scan cannot count
// within its budget is counted by CountMatches. The same answer as CountMatches, whatever the tuning.
std::vector<std::uint32_t> CountMatchesInScan(std::span<const std::uint8_t> haystack,
                                              std::span<const std::span<const std::uint8_t>> needles,
                                              std::span<const std::optional<std::uint32_t>> lowest, std::uint32_t cap,
                                              const SearchTuning& tuning = {});

// FindLowestOffsets and CountMatchesInScan in one: the lowest matches come from the count wherever it saw
// every match, so that usually one scan gives both.
struct FoundAndCounted {
    std::vector<std::optional<std::uint32_t>> lowest;
    std::vector<std::uint32_t> counts;
};
FoundAndCounted FindAndCountMatches(std::span<const std::uint8_t> haystack,
                                    std::span<const std::span<const std::uint8_t>> needles, std::uint32_t cap,
                                    const SearchTuning& tuning = {});

} // namespace detail
} // namespace dovra
