// The search for every table of a settings folder in the new binary, alone (no files): the fast search,
// the plain first-byte scan per table and the single-table search per table, each against one memchr pass
// over an image of the same size timed in the same loop.
#include <algorithm>

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "locate/all_tables_search.h"
#include "locate/table_search.h"

namespace dovra::bench {
namespace {

using Search = std::vector<std::optional<std::uint32_t>> (*)(std::span<const std::uint8_t>,
                                                             std::span<const std::span<const std::uint8_t>>);

void RunSearch(benchmark::State& state, const GeneratorOptions& options, Search search) {
    const GeneratedCase& generated = CachedCase(options);
    const auto needles = TableBytes(generated);
    double baseline = 0;
    double work = 0;
    std::size_t found = 0;
    for (auto _ : state) {
        baseline += MemchrPassSeconds(generated.newImage.size());
        std::vector<std::optional<std::uint32_t>> results;
        const double seconds = SecondsOf([&] { results = search(generated.newImage, needles); });
        work += seconds;
        state.SetIterationTime(seconds);
        found = static_cast<std::size_t>(
            std::count_if(results.begin(), results.end(), [](auto r) { return r.has_value(); }));
    }
    state.counters["memchr_ms"] = 1000 * baseline / static_cast<double>(state.iterations());
    state.counters["x_memchr"] = work / baseline;
    state.counters["found"] = static_cast<double>(found);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * generated.newImage.size()));
}

// Arguments: image size in MiB, table count.
GeneratorOptions Realistic(const benchmark::State& state) {
    return RealisticOptions(static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1)));
}

void BM_SearchAll_Realistic(benchmark::State& state) {
    RunSearch(state, Realistic(state), &FindLowestOffsets);
}
BENCHMARK(BM_SearchAll_Realistic)
    ->Args({16, 1000})
    ->Args({64, 1000})
    ->Args({256, 1000})
    ->Args({256, 100})
    ->Args({256, 3000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SearchAll_ZeroHeavy(benchmark::State& state) {
    RunSearch(state,
              ZeroHeavyOptions(static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1))),
              &FindLowestOffsets);
}
BENCHMARK(BM_SearchAll_ZeroHeavy)->Args({64, 100})->Args({256, 1000})->UseManualTime()->Unit(benchmark::kMillisecond);

// The straightforward method, one first-byte scan per table, and the single-table search the create
// command used before (FindLowestOffset per table): both read the image once per table, far too slowly for
// the full case, so smaller ones, once each; the fast search on the same cases for comparison.
std::vector<std::optional<std::uint32_t>> SearchEachAlone(std::span<const std::uint8_t> haystack,
                                                          std::span<const std::span<const std::uint8_t>> needles) {
    std::vector<std::optional<std::uint32_t>> results;
    for (const auto& needle : needles) {
        results.push_back(FindLowestOffset(haystack, needle));
    }
    return results;
}

void BM_SearchAllNaive_Realistic(benchmark::State& state) {
    RunSearch(state, Realistic(state), &FindLowestOffsetsNaive);
}
BENCHMARK(BM_SearchAllNaive_Realistic)
    ->Args({16, 100})
    ->Args({64, 100})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SearchEachAlone_Realistic(benchmark::State& state) {
    RunSearch(state, Realistic(state), &SearchEachAlone);
}
BENCHMARK(BM_SearchEachAlone_Realistic)
    ->Args({16, 100})
    ->Args({64, 100})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_SearchAll_Realistic)->Args({16, 100})->Args({64, 100})->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace dovra::bench
