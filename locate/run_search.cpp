#include "locate/run_search.h"

#include <algorithm>
#include <cstring>

namespace dovra::detail {
namespace {

// The first position at or after `from` whose byte differs from `value`, or the end.
std::size_t RunEnd(std::span<const std::uint8_t> haystack, std::size_t from, std::uint8_t value) {
    const std::uint64_t pattern = 0x0101010101010101ull * value;
    std::size_t at = from;
    for (; at + 8 <= haystack.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, haystack.data() + at, sizeof word);
        if (word != pattern) {
            break;
        }
    }
    while (at < haystack.size() && haystack[at] == value) {
        ++at;
    }
    return at;
}

// Runs of `value` in ascending order; each settles every waiting needle it is long enough for. The needles
// come sorted by length, so those a run settles are a prefix of the ones still waiting. A run as long as
// the shortest waiting needle (m) holds a multiple of m, so only every m-th byte is looked at until one
// holds the value; the run around it is then measured, back to at most m bytes before it.
void FindRunsOf(std::span<const std::uint8_t> haystack, std::uint8_t value, std::span<const RunNeedle> waiting,
                std::vector<std::optional<std::uint32_t>>& results) {
    std::size_t next = 0;     // the shortest needle still waiting
    std::size_t measured = 0; // every run that starts before this has been measured
    std::size_t sample = 0;
    while (next < waiting.size()) {
        const std::size_t shortest = waiting[next].length;
        sample = std::max(sample, (measured + shortest - 1) / shortest * shortest);
        if (sample >= haystack.size()) {
            return;
        }
        if (haystack[sample] != value) {
            sample += shortest;
            continue;
        }
        std::size_t start = sample;
        while (start > measured && haystack[start - 1] == value) {
            --start;
        }
        const std::size_t end = RunEnd(haystack, sample + 1, value);
        while (next < waiting.size() && waiting[next].length <= end - start) {
            results[waiting[next].index] = static_cast<std::uint32_t>(start);
            ++next;
        }
        measured = end;
    }
}

} // namespace

bool IsRunNeedle(std::span<const std::uint8_t> needle) {
    return !needle.empty() &&
           std::all_of(needle.begin(), needle.end(), [&](std::uint8_t byte) { return byte == needle[0]; });
}

void FindRuns(std::span<const std::uint8_t> haystack, std::vector<RunNeedle> runs,
              std::vector<std::optional<std::uint32_t>>& results) {
    std::sort(runs.begin(), runs.end(), [](const RunNeedle& a, const RunNeedle& b) {
        return a.value != b.value ? a.value < b.value : a.length < b.length;
    });
    for (std::size_t begin = 0; begin < runs.size();) {
        std::size_t end = begin;
        while (end < runs.size() && runs[end].value == runs[begin].value) {
            ++end;
        }
        FindRunsOf(haystack, runs[begin].value, std::span(runs).subspan(begin, end - begin), results);
        begin = end;
    }
}

} // namespace dovra::detail
