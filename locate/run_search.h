#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace dovra::detail {

// A table whose bytes are all one value (an empty or reserved table of zeros, a fill of 0xFF): its lowest
// match is the start of the first run of that value in the haystack at least as long as the table. Such
// tables have no gram or anchor that is not a run, and comparing them at every position of a zero-filled
// binary costs the square of the run lengths; runs are found by skipping a word at a time instead.
struct RunNeedle {
    std::uint32_t index; // the needle's place in the caller's list
    std::uint8_t value;  // the one byte value
    std::size_t length;  // at least 1
};

// Whether every byte of the needle is the same (false for an empty needle).
bool IsRunNeedle(std::span<const std::uint8_t> needle);

// The lowest start of every run needle in `haystack`, written to results[index]. One pass over the
// haystack per distinct value.
void FindRuns(std::span<const std::uint8_t> haystack, std::vector<RunNeedle> runs,
              std::vector<std::optional<std::uint32_t>>& results);

} // namespace dovra::detail
