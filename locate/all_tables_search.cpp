#include "locate/all_tables_search.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "locate/anchor_tier.h"
#include "locate/haystack_profile.h"
#include "locate/match_count.h"
#include "locate/run_search.h"
#include "locate/sampled_tier.h"
#include "locate/search_state.h"
#include "locate/table_search.h"

namespace dovra {
namespace {

using detail::AnchorTier;
using detail::HaystackProfile;
using detail::SampledTier;
using detail::SearchState;
using detail::SearchTuning;

using Needles = std::span<const std::span<const std::uint8_t>>;
using Result = std::optional<std::uint32_t>;

// The tables sorted by how they are searched; read-only once built, shared by every scan.
struct Plan {
    std::vector<SampledTier> tiers;
    AnchorTier anchors;
    std::vector<std::uint32_t> scanned;  // by a tier or the anchors
    std::vector<std::uint32_t> alone;    // shorter than an anchor: each searched on its own
    std::vector<detail::RunNeedle> runs; // one byte value repeated
    std::size_t longest = 0;             // of the scanned tables
    std::uint64_t budget = 0;            // for each scanned table, beyond one whole comparison
};

// Answers what needs no search and sorts the rest: runs of one byte value to the run search, the others to
// the widest tier that takes them, else the anchors, else the search on its own.
Plan MakePlan(std::span<const std::uint8_t> haystack, Needles needles, const HaystackProfile& profile,
              const SearchTuning& tuning, std::vector<Result>& results) {
    Plan plan;
    for (std::size_t stride : tuning.strides) {
        plan.tiers.emplace_back(stride);
    }
    for (std::size_t t = 0; t < plan.tiers.size(); ++t) {
        const std::size_t upTo = t == 0 ? haystack.size() + 1 : plan.tiers[t - 1].MinimumLength();
        plan.tiers[t].Reserve(static_cast<std::size_t>(std::count_if(needles.begin(), needles.end(), [&](auto needle) {
            return needle.size() >= plan.tiers[t].MinimumLength() && needle.size() < upTo;
        })));
    }
    for (std::uint32_t i = 0; i < needles.size(); ++i) {
        const std::span<const std::uint8_t> needle = needles[i];
        if (needle.empty()) {
            results[i] = 0;
            continue;
        }
        if (needle.size() > haystack.size()) {
            continue;
        }
        if (detail::IsRunNeedle(needle)) {
            plan.runs.push_back({i, needle[0], needle.size()});
            continue;
        }
        const bool sampled = std::any_of(plan.tiers.begin(), plan.tiers.end(), [&](SampledTier& tier) {
            return needle.size() >= tier.MinimumLength() && tier.Add(i, needle, profile);
        });
        if (sampled || plan.anchors.Add(i, needle, profile)) {
            plan.scanned.push_back(i);
            plan.longest = std::max(plan.longest, needle.size());
        } else {
            plan.alone.push_back(i);
        }
    }
    for (SampledTier& tier : plan.tiers) {
        tier.Build(needles, profile);
    }
    plan.anchors.Build();
    plan.budget = std::max(tuning.minimumBudget, haystack.size() / tuning.haystackBytesPerBudgetByte);
    return plan;
}

// The search on its own, scanning for the needle's byte the haystack holds least.
Result SearchAlone(std::span<const std::uint8_t> haystack, std::span<const std::uint8_t> needle,
                   const HaystackProfile& profile) {
    std::size_t rarest = 0;
    for (std::size_t i = 1; i < needle.size(); ++i) {
        if (profile.ByteCount(needle[i]) < profile.ByteCount(needle[rarest])) {
            rarest = i;
        }
    }
    return detail::FindLowestOffsetByAnchor(haystack, needle, rarest);
}

// One pass over the starts in [lowest, limit), block by block; every tier reads a block while it is in
// the cache. The haystack is read up to where the last start in range still has grams and anchors, and
// the pass stops early once every table is settled or handed over.
SearchState ScanRange(const Plan& plan, std::span<const std::uint8_t> haystack, Needles needles, std::size_t lowest,
                      std::size_t limit, std::size_t blockSize, std::uint32_t countCap = 0) {
    SearchState state(haystack, needles, lowest, limit, countCap);
    for (std::uint32_t i : plan.scanned) {
        state.SetBudget(i, needles[i].size() + plan.budget);
    }
    std::vector<SampledTier> tiers = plan.tiers;
    AnchorTier anchors = plan.anchors;
    std::vector<std::size_t> open(tiers.size(), 1);
    std::size_t anchorsOpen = 1;
    const std::size_t end = std::min(haystack.size(), limit + plan.longest);
    for (std::size_t from = lowest; from < end; from += blockSize) {
        const std::size_t to = std::min(end, from + blockSize);
        std::size_t stillOpen = 0;
        for (std::size_t t = 0; t < tiers.size(); ++t) {
            if (open[t] != 0) {
                tiers[t].Scan(state, from, to);
                open[t] = tiers[t].Settle(state, to);
                stillOpen += open[t];
            }
        }
        if (anchorsOpen != 0) {
            anchors.Scan(state, from, to);
            anchorsOpen = anchors.Settle(state);
            stillOpen += anchorsOpen;
        }
        if (stillOpen == 0) {
            break;
        }
    }
    return state;
}

// A scanned table's lowest start in the scan's range. One that spent its budget is searched on its own
// there, below the best match the scan had found.
Result RangeResult(const SearchState& state, std::uint32_t index, const HaystackProfile& profile) {
    const detail::NeedleProgress& progress = state.Progress(index);
    if (!progress.exhausted) {
        return progress.best;
    }
    if (state.Limit() <= state.Lowest()) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> haystack = state.Haystack();
    const std::span<const std::uint8_t> needle = state.Needle(index);
    const std::size_t lastStart = progress.best ? *progress.best : state.Limit() - 1;
    const std::size_t end = std::min(haystack.size(), lastStart + needle.size());
    if (end < state.Lowest() + needle.size()) {
        return std::nullopt;
    }
    const Result found = SearchAlone(haystack.subspan(state.Lowest(), end - state.Lowest()), needle, profile);
    return found ? Result(static_cast<std::uint32_t>(state.Lowest() + *found)) : std::nullopt;
}

void SearchAloneEach(std::span<const std::uint8_t> haystack, Needles needles, const HaystackProfile& profile,
                     std::span<const std::uint32_t> indexes, std::size_t first, std::size_t step,
                     std::vector<Result>& results) {
    for (std::size_t k = first; k < indexes.size(); k += step) {
        results[indexes[k]] = SearchAlone(haystack, needles[indexes[k]], profile);
    }
}

// Two threads when the haystack is large and the machine has two cores: the lower half's starts in this
// thread, the upper half's in another. A table's answer is its lowest start in the lower half if it has
// one, else its lowest in the upper half, the same as from one scan of the whole.
bool ScanInTwo(const Plan& plan, std::span<const std::uint8_t> haystack, Needles needles,
               const HaystackProfile& profile, const SearchTuning& tuning, std::vector<Result>& results) {
    const std::size_t middle = haystack.size() / 2;
    std::optional<SearchState> upper;
    std::thread helper;
    try {
        helper = std::thread([&] {
            upper.emplace(ScanRange(plan, haystack, needles, middle, haystack.size(), tuning.blockSize));
            SearchAloneEach(haystack, needles, profile, plan.alone, 1, 2, results);
        });
    } catch (const std::system_error&) {
        return false; // no thread to be had: one scan does it all
    }
    const SearchState lower = ScanRange(plan, haystack, needles, 0, middle, tuning.blockSize);
    SearchAloneEach(haystack, needles, profile, plan.alone, 0, 2, results);
    helper.join();
    for (std::uint32_t i : plan.scanned) {
        results[i] = RangeResult(lower, i, profile);
        if (!results[i]) {
            results[i] = RangeResult(*upper, i, profile);
        }
    }
    return true;
}

} // namespace

std::vector<Result> FindLowestOffsets(std::span<const std::uint8_t> haystack, Needles needles) {
    return detail::FindLowestOffsets(haystack, needles, SearchTuning{});
}

std::vector<Result> detail::FindLowestOffsets(std::span<const std::uint8_t> haystack, Needles needles,
                                              const SearchTuning& tuning) {
    std::vector<Result> results(needles.size());
    const HaystackProfile profile(haystack);
    const Plan plan = MakePlan(haystack, needles, profile, tuning, results);
    detail::FindRuns(haystack, plan.runs, results);
    const bool twoThreads = tuning.threads >= 2 && std::thread::hardware_concurrency() != 1 &&
                            haystack.size() >= 2 * tuning.minimumBytesPerThread;
    if (twoThreads && ScanInTwo(plan, haystack, needles, profile, tuning, results)) {
        return results;
    }
    const SearchState whole = ScanRange(plan, haystack, needles, 0, haystack.size(), tuning.blockSize);
    for (std::uint32_t i : plan.scanned) {
        results[i] = RangeResult(whole, i, profile);
    }
    SearchAloneEach(haystack, needles, profile, plan.alone, 0, 1, results);
    return results;
}

namespace {

// The scans of a count: one per thread, each over its half of the starts, none settling a needle before
// the cap.
std::vector<SearchState> CountingScans(const Plan& plan, std::span<const std::uint8_t> haystack, Needles needles,
                                       std::uint32_t cap, const SearchTuning& tuning) {
    std::vector<SearchState> scans;
    const bool twoThreads = tuning.threads >= 2 && std::thread::hardware_concurrency() != 1 &&
                            haystack.size() >= 2 * tuning.minimumBytesPerThread;
    if (twoThreads) {
        const std::size_t middle = haystack.size() / 2;
        std::optional<SearchState> upper;
        try {
            std::thread helper([&] {
                upper.emplace(ScanRange(plan, haystack, needles, middle, haystack.size(), tuning.blockSize, cap));
            });
            scans.push_back(ScanRange(plan, haystack, needles, 0, middle, tuning.blockSize, cap));
            helper.join();
            scans.push_back(std::move(*upper));
        } catch (const std::system_error&) {
            scans.clear(); // no thread to be had: one scan counts it all
        }
    }
    if (scans.empty()) {
        scans.push_back(ScanRange(plan, haystack, needles, 0, haystack.size(), tuning.blockSize, cap));
    }
    return scans;
}

// What the scans found of one scanned needle: every match when `complete` (none spent its budget and,
// together, they stayed below the cap).
struct Tally {
    std::size_t found = 0;
    std::optional<std::uint32_t> lowest;
    bool exhausted = false;
};

Tally TallyOf(const std::vector<SearchState>& scans, std::uint32_t index) {
    Tally tally;
    for (const SearchState& scan : scans) {
        tally.exhausted = tally.exhausted || scan.Progress(index).exhausted;
        tally.found += scan.Matches(index).size();
        for (std::uint32_t start : scan.Matches(index)) {
            tally.lowest = std::min(tally.lowest.value_or(start), start);
        }
    }
    return tally;
}

// The needles the scan leaves to others: runs of one value and needles too short for an anchor, which it
// never looks at, and empty ones.
std::vector<std::uint32_t> Unscanned(const Plan& plan, Needles needles) {
    std::vector<std::uint32_t> rest(plan.alone.begin(), plan.alone.end());
    for (std::uint32_t i = 0; i < needles.size(); ++i) {
        if (needles[i].empty()) {
            rest.push_back(i);
        }
    }
    for (const detail::RunNeedle& run : plan.runs) {
        rest.push_back(run.index);
    }
    return rest;
}

// Counts the needles of `indexes` the general way, which stays linear whatever the data.
void CountGenerally(std::span<const std::uint8_t> haystack, Needles needles, std::span<const Result> lowest,
                    const std::vector<std::uint32_t>& indexes, std::uint32_t cap, std::vector<std::uint32_t>& counts) {
    if (indexes.empty()) {
        return;
    }
    std::vector<std::span<const std::uint8_t>> some;
    std::vector<Result> someLowest;
    for (std::uint32_t i : indexes) {
        some.push_back(needles[i]);
        someLowest.push_back(lowest[i]);
    }
    const std::vector<std::uint32_t> counted = detail::CountMatches(haystack, some, someLowest, cap);
    for (std::size_t k = 0; k < indexes.size(); ++k) {
        counts[indexes[k]] = counted[k];
    }
}

} // namespace

std::vector<std::uint32_t> detail::CountMatchesInScan(std::span<const std::uint8_t> haystack, Needles needles,
                                                      std::span<const Result> lowest, std::uint32_t cap,
                                                      const SearchTuning& tuning) {
    // A needle without a match is left out of the scan as an empty one, which the plan answers at once.
    std::vector<std::span<const std::uint8_t>> present(needles.begin(), needles.end());
    for (std::size_t i = 0; i < present.size(); ++i) {
        if (!lowest[i]) {
            present[i] = {};
        }
    }
    std::vector<Result> unused(needles.size());
    const HaystackProfile profile(haystack);
    const Plan plan = MakePlan(haystack, present, profile, tuning, unused);
    const std::vector<SearchState> scans = CountingScans(plan, haystack, present, cap, tuning);
    std::vector<std::uint32_t> counts(needles.size(), 0);
    std::vector<std::uint32_t> rest;
    for (std::uint32_t i : Unscanned(plan, present)) {
        if (lowest[i]) {
            rest.push_back(i);
        }
    }
    for (std::uint32_t i : plan.scanned) {
        const Tally tally = TallyOf(scans, i);
        if (tally.exhausted) {
            rest.push_back(i);
        } else {
            counts[i] = static_cast<std::uint32_t>(std::min<std::size_t>(tally.found, cap));
        }
    }
    CountGenerally(haystack, needles, lowest, rest, cap, counts);
    return counts;
}

detail::FoundAndCounted detail::FindAndCountMatches(std::span<const std::uint8_t> haystack, Needles needles,
                                                    std::uint32_t cap, const SearchTuning& tuning) {
    FoundAndCounted result{std::vector<Result>(needles.size()), std::vector<std::uint32_t>(needles.size(), 0)};
    const HaystackProfile profile(haystack);
    std::vector<Result> unused(needles.size());
    const Plan plan = MakePlan(haystack, needles, profile, tuning, unused);
    const std::vector<SearchState> scans = CountingScans(plan, haystack, needles, cap, tuning);
    // A needle whose every match the count saw has its lowest among them; the others (counted to the cap,
    // spent their budget, or never scanned) are searched for their lowest, and counted generally unless
    // the cap is known to be reached.
    std::vector<std::uint32_t> rest = Unscanned(plan, needles);
    std::vector<std::uint32_t> uncounted = rest;
    for (std::uint32_t i : plan.scanned) {
        const Tally tally = TallyOf(scans, i);
        if (tally.exhausted) {
            rest.push_back(i);
            uncounted.push_back(i);
        } else if (tally.found >= cap) {
            rest.push_back(i);
            result.counts[i] = cap;
        } else {
            result.lowest[i] = tally.lowest;
            result.counts[i] = static_cast<std::uint32_t>(tally.found);
        }
    }
    if (!rest.empty()) {
        std::vector<std::span<const std::uint8_t>> some;
        for (std::uint32_t i : rest) {
            some.push_back(needles[i]);
        }
        const std::vector<Result> found = FindLowestOffsets(haystack, some, tuning);
        for (std::size_t k = 0; k < rest.size(); ++k) {
            result.lowest[rest[k]] = found[k];
        }
    }
    CountGenerally(haystack, needles, result.lowest, uncounted, cap, result.counts);
    return result;
}

std::vector<Result> FindLowestOffsetsNaive(std::span<const std::uint8_t> haystack, Needles needles) {
    std::vector<Result> results;
    results.reserve(needles.size());
    for (const auto& needle : needles) {
        results.push_back(FindLowestOffsetNaive(haystack, needle));
    }
    return results;
}

} // namespace dovra
