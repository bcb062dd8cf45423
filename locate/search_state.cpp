#include "locate/search_state.h"

#include <algorithm>
#include <cstring>

namespace dovra::detail {
namespace {

// What one candidate costs beyond its comparison (the lookup and the call), counted in compared bytes.
constexpr std::uint64_t kCandidateOverhead = 32;
// After the head, the comparison goes on in growing chunks, so a long true match costs few calls.
constexpr std::size_t kFirstChunk = 64;
constexpr std::size_t kLargestChunk = 1u << 16;

// Compares [from, to) in growing chunks, forwards or backwards, and adds to `cost` only what was compared,
// so a candidate that fails early in a table of a megabyte is charged a few bytes, not the megabyte.
bool EqualCounting(const std::uint8_t* a, const std::uint8_t* b, std::size_t from, std::size_t to, bool backwards,
                   std::uint64_t& cost) {
    std::size_t chunk = kFirstChunk;
    while (from < to) {
        const std::size_t step = std::min(chunk, to - from);
        const std::size_t at = backwards ? to - step : from;
        cost += step;
        if (std::memcmp(a + at, b + at, step) != 0) {
            return false;
        }
        if (backwards) {
            to -= step;
        } else {
            from += step;
        }
        chunk = std::min(chunk * 2, kLargestChunk);
    }
    return true;
}

} // namespace

SearchState::SearchState(std::span<const std::uint8_t> haystack, std::span<const std::span<const std::uint8_t>> needles,
                         std::size_t lowest, std::size_t limit, std::uint32_t countCap)
    : m_haystack(haystack), m_needles(needles), m_progress(needles.size()), m_heads(needles.size() * kHeadLength),
      m_matches(countCap != 0 ? needles.size() : 0), m_lowest(lowest), m_limit(limit), m_countCap(countCap) {
    for (std::size_t i = 0; i < needles.size(); ++i) {
        const std::size_t length = std::min(kHeadLength, needles[i].size());
        std::copy_n(needles[i].begin(), length, m_heads.begin() + static_cast<std::ptrdiff_t>(i * kHeadLength));
    }
}

void SearchState::Offer(std::uint32_t index, std::size_t start, std::size_t known) {
    NeedleProgress& progress = m_progress[index];
    const std::span<const std::uint8_t> needle = m_needles[index];
    if (!Open(index) || start < m_lowest || start >= m_limit || start > m_haystack.size() - needle.size() ||
        (progress.best && start >= *progress.best)) {
        return;
    }
    // The head first (most candidates differ there), then outwards from the bytes known to match: back to
    // the head, then on to the end. Where the haystack holds long runs (zero fill) a candidate fails near the
    // known bytes, and working outwards from them keeps the comparisons of all candidates together linear.
    const std::size_t head = std::min(kHeadLength, needle.size());
    const std::size_t middle = std::clamp(known, head, needle.size());
    const std::uint8_t* candidate = m_haystack.data() + start;
    std::uint64_t cost = kCandidateOverhead + head;
    const bool equal = std::memcmp(candidate, m_heads.data() + std::size_t{index} * kHeadLength, head) == 0 &&
                       EqualCounting(candidate, needle.data(), head, middle, true, cost) &&
                       EqualCounting(candidate, needle.data(), middle, needle.size(), false, cost);
    if (equal && m_countCap != 0) {
        // A count never sets `best`: the tiers settle a needle once its best cannot be beaten, and a count
        // is settled only by reaching the cap. A start is kept once, whichever gram or anchor offered it.
        std::vector<std::uint32_t>& matches = m_matches[index];
        if (std::find(matches.begin(), matches.end(), start) == matches.end()) {
            matches.push_back(static_cast<std::uint32_t>(start));
        }
        if (matches.size() >= m_countCap) {
            progress.settled = true;
            m_changes.push_back(index);
            return;
        }
    } else if (equal) {
        if (!progress.best) {
            m_changes.push_back(index);
        }
        progress.best = static_cast<std::uint32_t>(start);
    }
    if (cost >= progress.budget) {
        progress.budget = 0;
        progress.exhausted = true;
        m_changes.push_back(index);
    } else {
        progress.budget -= cost;
    }
}

} // namespace dovra::detail
