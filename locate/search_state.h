#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// What a search of many tables at once knows about each table while it scans the new binary.
namespace dovra::detail {

struct NeedleProgress {
    std::optional<std::uint32_t> best; // lowest verified match so far
    std::uint64_t budget = 0;          // comparison bytes it may still spend on candidates
    bool settled = false;              // `best` is the answer: no lower match can turn up any more
    bool exhausted = false;            // spent its budget: searched alone afterwards, below `best`
};

// One scan's view: when the haystack is split between threads, each scan accepts only the starts in its
// own range [lowest, limit). With a `countCap` the scan counts matches instead of looking for the lowest:
// every match is kept (up to the cap, which settles the needle) and none ends the search for its needle.
class SearchState {
public:
    SearchState(std::span<const std::uint8_t> haystack, std::span<const std::span<const std::uint8_t>> needles,
                std::size_t lowest, std::size_t limit, std::uint32_t countCap = 0);

    std::span<const std::uint8_t> Haystack() const { return m_haystack; }
    std::span<const std::uint8_t> Needle(std::uint32_t index) const { return m_needles[index]; }
    NeedleProgress& Progress(std::uint32_t index) { return m_progress[index]; }
    const NeedleProgress& Progress(std::uint32_t index) const { return m_progress[index]; }
    std::size_t NeedleCount() const { return m_needles.size(); }
    std::size_t Lowest() const { return m_lowest; }
    std::size_t Limit() const { return m_limit; }

    // Still looking: neither settled nor handed over to the search on its own.
    bool Open(std::uint32_t index) const { return !m_progress[index].settled && !m_progress[index].exhausted; }

    // A candidate: needle `index` may start at `start`, its bytes from `known` on having been seen to match
    // (the gram or anchor that gave the candidate). Compares it unless it lies outside this scan's range or
    // cannot beat the best match already found, charging the comparison to the needle's budget.
    void Offer(std::uint32_t index, std::size_t start, std::size_t known);

    void SetBudget(std::uint32_t index, std::uint64_t budget) { m_progress[index].budget = budget; }

    // When counting: the distinct starts of the needle's matches found in this scan's range, at most the cap.
    const std::vector<std::uint32_t>& Matches(std::uint32_t index) const { return m_matches[index]; }

    // The needles that found their first match or spent their budget, in that order, so that a tier
    // settles its needles by looking at what changed rather than at all of them after every block.
    const std::vector<std::uint32_t>& Changes() const { return m_changes; }

private:
    static constexpr std::size_t kHeadLength = 16;

    std::span<const std::uint8_t> m_haystack;
    std::span<const std::span<const std::uint8_t>> m_needles;
    std::vector<NeedleProgress> m_progress;
    // The first bytes of every needle side by side: most candidates differ there, and these stay in the
    // cache where the needles themselves lie anywhere in the old image.
    std::vector<std::uint8_t> m_heads;
    std::vector<std::uint32_t> m_changes;
    std::vector<std::vector<std::uint32_t>> m_matches; // when counting
    std::size_t m_lowest;
    std::size_t m_limit;
    std::uint32_t m_countCap;
};

} // namespace dovra::detail
