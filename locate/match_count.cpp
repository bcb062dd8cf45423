#include "locate/match_count.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

#include "locate/haystack_profile.h"
#include "locate/run_search.h"
#include "locate/table_search.h"

namespace dovra::detail {
namespace {

using Needles = std::span<const std::span<const std::uint8_t>>;

constexpr std::size_t kGram = 8;
constexpr std::uint64_t kFilterHash = 0x9E3779B97F4A7C15ull;
constexpr int kFilterBitsLog = 23;
// Key offsets looked at per needle: enough to step past a zero stretch at a table's start.
constexpr std::size_t kKeyCandidates = 512;
// Bytes compared at places that do not match, per needle: beyond that its key gram is everywhere and
// the needle is counted on its own.
constexpr std::uint64_t kMinimumBudget = std::uint64_t{1} << 16;
constexpr std::size_t kMinimumBytesPerThread = std::size_t{4} << 20;

// A needle of at least kGram bytes, keyed by the gram at `offset`; `mask` keeps a shorter needle's bytes.
struct Keyed {
    std::uint64_t key;
    std::uint64_t mask;
    std::uint32_t index;
    std::uint32_t offset;
};

std::uint64_t LoadMasked(const std::uint8_t* bytes, std::size_t length) {
    std::uint64_t gram = 0;
    std::memcpy(&gram, bytes, length);
    return gram;
}

std::size_t FilterSlot(std::uint64_t gram) {
    return static_cast<std::size_t>((gram * kFilterHash) >> (64 - kFilterBitsLog));
}

// The key offset whose gram the profile saw least: a gram of the table's zero stretch would hit the
// filter at every zero of the haystack.
std::uint32_t RarestKeyOffset(std::span<const std::uint8_t> needle, const HaystackProfile& profile) {
    const std::size_t last = std::min(needle.size() - kGram, kKeyCandidates);
    std::size_t best = 0;
    std::uint32_t bestCount = profile.GramCount(LoadMasked(needle.data(), kGram));
    for (std::size_t offset = 1; offset <= last && bestCount != 0; ++offset) {
        const std::uint32_t count = profile.GramCount(LoadMasked(needle.data() + offset, kGram));
        if (count < bestCount) {
            best = offset;
            bestCount = count;
        }
    }
    return static_cast<std::uint32_t>(best);
}

struct KeyIndex {
    std::vector<Keyed> keyed; // sorted by mask, then key
    std::vector<std::uint64_t> masks;
    std::vector<std::uint64_t> filter;
};

KeyIndex MakeIndex(std::vector<Keyed> keyed) {
    KeyIndex index;
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return a.mask != b.mask ? a.mask < b.mask : a.key != b.key ? a.key < b.key : a.index < b.index;
    });
    index.filter.assign((std::size_t{1} << kFilterBitsLog) / 64, 0);
    for (const Keyed& k : keyed) {
        const std::size_t slot = FilterSlot(k.key);
        index.filter[slot / 64] |= std::uint64_t{1} << (slot % 64);
        if (index.masks.empty() || index.masks.back() != k.mask) {
            index.masks.push_back(k.mask);
        }
    }
    index.keyed = std::move(keyed);
    return index;
}

// Counts over the starts whose key gram begins in [from, to); a needle whose mismatches spend its budget is
// marked for the count on its own.
struct RangeCount {
    std::vector<std::uint32_t> counts;
    std::vector<std::uint64_t> spent;
    std::vector<bool> exhausted;
};

RangeCount CountRange(std::span<const std::uint8_t> haystack, Needles needles, const KeyIndex& index, std::size_t from,
                      std::size_t to, std::uint32_t cap, std::uint64_t budget) {
    RangeCount range{std::vector<std::uint32_t>(needles.size(), 0), std::vector<std::uint64_t>(needles.size(), 0),
                     std::vector<bool>(needles.size(), false)};
    const std::uint8_t* data = haystack.data();
    const bool fullMaskOnly = index.masks.size() == 1 && index.masks[0] == ~std::uint64_t{0};
    to = std::min(to, haystack.size());
    for (std::size_t pos = from; pos < to; ++pos) {
        const std::size_t available = std::min(kGram, haystack.size() - pos);
        const std::uint64_t gram =
            available == kGram ? LoadMasked(data + pos, kGram) : LoadMasked(data + pos, available);
        for (std::uint64_t mask : index.masks) {
            const std::uint64_t key = gram & mask;
            const std::size_t slot = FilterSlot(key);
            if ((index.filter[slot / 64] >> (slot % 64) & 1) == 0) {
                continue;
            }
            auto it = std::lower_bound(index.keyed.begin(), index.keyed.end(), std::pair{mask, key},
                                       [](const Keyed& k, const std::pair<std::uint64_t, std::uint64_t>& v) {
                                           return k.mask != v.first ? k.mask < v.first : k.key < v.second;
                                       });
            for (; it != index.keyed.end() && it->mask == mask && it->key == key; ++it) {
                const std::uint32_t i = it->index;
                if (range.exhausted[i] || range.counts[i] >= cap || pos < it->offset) {
                    continue;
                }
                const std::size_t start = pos - it->offset;
                const std::span<const std::uint8_t> needle = needles[i];
                if (start + needle.size() > haystack.size()) {
                    continue;
                }
                if (std::memcmp(data + start, needle.data(), needle.size()) == 0) {
                    ++range.counts[i];
                } else {
                    range.spent[i] += needle.size();
                    range.exhausted[i] = range.spent[i] > budget;
                }
            }
            if (fullMaskOnly) {
                break;
            }
        }
    }
    return range;
}

// Matches at or after `from`, up to `cap`, by the worst-case-linear search.
std::uint32_t CountAlone(std::span<const std::uint8_t> haystack, std::span<const std::uint8_t> needle, std::size_t from,
                         std::uint32_t cap) {
    std::uint32_t count = 0;
    while (count < cap && from + needle.size() <= haystack.size()) {
        const std::optional<std::uint32_t> found = FindLowestOffsetLinear(haystack, needle, from);
        if (!found) {
            break;
        }
        ++count;
        from = *found + std::size_t{1};
    }
    return count;
}

// Every run of one byte value of length r holds r - s + 1 starts of a run needle of length s; each needle
// is looked at no more than `cap` times before it is full, so the cost is the haystack's length plus
// cap for each needle.
void CountRuns(std::span<const std::uint8_t> haystack, std::vector<RunNeedle> runs, std::uint32_t cap,
               std::vector<std::uint32_t>& counts) {
    std::sort(runs.begin(), runs.end(), [](const RunNeedle& a, const RunNeedle& b) {
        return a.value != b.value ? a.value < b.value : a.length < b.length;
    });
    for (std::size_t first = 0; first < runs.size();) {
        std::size_t last = first;
        while (last < runs.size() && runs[last].value == runs[first].value) {
            ++last;
        }
        std::vector<RunNeedle> open(runs.begin() + static_cast<std::ptrdiff_t>(first),
                                    runs.begin() + static_cast<std::ptrdiff_t>(last));
        const std::uint8_t value = runs[first].value;
        std::size_t pos = 0;
        while (pos < haystack.size() && !open.empty()) {
            const void* hit = std::memchr(haystack.data() + pos, value, haystack.size() - pos);
            if (hit == nullptr) {
                break;
            }
            const std::size_t start = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - haystack.data());
            // Runs of zeros in a zero-filled binary go on for megabytes: eight bytes at a time.
            const std::uint64_t pattern = 0x0101010101010101ull * value;
            std::size_t end = start + 1;
            for (std::uint64_t word; end + 8 <= haystack.size(); end += 8) {
                std::memcpy(&word, haystack.data() + end, sizeof word);
                if (word != pattern) {
                    break;
                }
            }
            while (end < haystack.size() && haystack[end] == value) {
                ++end;
            }
            const std::size_t length = end - start;
            for (RunNeedle& needle : open) {
                if (needle.length > length) {
                    break;
                }
                const std::uint64_t add = length - needle.length + 1;
                counts[needle.index] =
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(cap, counts[needle.index] + add));
            }
            std::erase_if(open, [&](const RunNeedle& needle) { return counts[needle.index] >= cap; });
            pos = end;
        }
        first = last;
    }
}

} // namespace

std::vector<std::uint32_t> CountMatches(std::span<const std::uint8_t> haystack, Needles needles,
                                        std::span<const std::optional<std::uint32_t>> lowest, std::uint32_t cap) {
    std::vector<std::uint32_t> counts(needles.size(), 0);
    if (cap == 0) {
        return counts;
    }
    const HaystackProfile profile(haystack);
    std::vector<Keyed> keyed;
    std::vector<RunNeedle> runs;
    for (std::uint32_t i = 0; i < needles.size(); ++i) {
        const std::span<const std::uint8_t> needle = needles[i];
        if (!lowest[i]) {
            continue;
        }
        if (needle.empty()) {
            // An empty table matches before every byte and after the last.
            counts[i] = static_cast<std::uint32_t>(std::min<std::uint64_t>(cap, haystack.size() + 1));
        } else if (IsRunNeedle(needle)) {
            runs.push_back({i, needle[0], needle.size()});
        } else if (needle.size() >= kGram) {
            const std::uint32_t offset = RarestKeyOffset(needle, profile);
            keyed.push_back({LoadMasked(needle.data() + offset, kGram), ~std::uint64_t{0}, i, offset});
        } else {
            const std::uint64_t mask = (std::uint64_t{1} << (8 * needle.size())) - 1;
            keyed.push_back({LoadMasked(needle.data(), needle.size()), mask, i, 0});
        }
    }
    CountRuns(haystack, std::move(runs), cap, counts);
    if (keyed.empty()) {
        return counts;
    }
    const KeyIndex index = MakeIndex(std::move(keyed));
    const std::uint64_t budget = std::max<std::uint64_t>(kMinimumBudget, haystack.size() / 8);

    std::vector<RangeCount> ranges;
    const std::size_t middle = haystack.size() / 2;
    bool split = false;
    if (std::thread::hardware_concurrency() != 1 && haystack.size() >= 2 * kMinimumBytesPerThread) {
        RangeCount upper;
        try {
            std::thread helper(
                [&] { upper = CountRange(haystack, needles, index, middle, haystack.size(), cap, budget); });
            ranges.push_back(CountRange(haystack, needles, index, 0, middle, cap, budget));
            helper.join();
            ranges.push_back(std::move(upper));
            split = true;
        } catch (const std::system_error&) {
            ranges.clear();
        }
    }
    if (!split) {
        ranges.push_back(CountRange(haystack, needles, index, 0, haystack.size(), cap, budget));
    }
    for (const Keyed& k : index.keyed) {
        const std::uint32_t i = k.index;
        const bool exhausted =
            std::any_of(ranges.begin(), ranges.end(), [&](const RangeCount& r) { return r.exhausted[i]; });
        if (exhausted) {
            counts[i] = CountAlone(haystack, needles[i], *lowest[i], cap);
            continue;
        }
        std::uint64_t sum = 0;
        for (const RangeCount& r : ranges) {
            sum += r.counts[i];
        }
        counts[i] = static_cast<std::uint32_t>(std::min<std::uint64_t>(cap, sum));
    }
    return counts;
}

} // namespace dovra::detail
