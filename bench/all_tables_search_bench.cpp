// The search for every table of a settings folder in the new binary, alone (no files): the fast search
// and the plain first-byte scan per table, each against one memchr pass over an image of the same size.
#include <algorithm>

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "migration/all_tables_search.h"

namespace dovra::bench {
namespace {

using Search = std::vector<std::optional<std::uint32_t>> (*)(std::span<const std::uint8_t>,
                                                             std::span<const std::span<const std::uint8_t>>);

// Arguments: image size in MiB, table count.
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

void BM_SearchAll_Realistic(benchmark::State& state) {
    RunSearch(state,
              RealisticOptions(static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1))),
              &FindLowestOffsets);
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

// One first-byte scan per table: far too slow for the full case, so a smaller one, once.
void BM_SearchAllNaive_Realistic(benchmark::State& state) {
    RunSearch(state,
              RealisticOptions(static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1))),
              &FindLowestOffsetsNaive);
}
BENCHMARK(BM_SearchAllNaive_Realistic)->Args({16, 100})->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAll_Realistic)->Args({16, 100})->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace dovra::bench
