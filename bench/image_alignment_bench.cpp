// What placing the tables by their neighbourhood costs: the alignment of the two images alone, and the
// whole locator (exact search, match counts, alignment, similarity) against the exact search alone, each
// with one memchr pass over an image as large as the new binary timed in the same loop.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "locate/all_tables_search.h"
#include "locate/image_alignment.h"
#include "locate/table_locator.h"

namespace dovra::bench {
namespace {

// Arguments: image size in MiB, table count, threads for the alignment (0: as the locator chooses).
GeneratorOptions Options(const benchmark::State& state, bool zeroHeavy) {
    const auto size = static_cast<std::uint32_t>(state.range(0));
    const auto tables = static_cast<std::uint32_t>(state.range(1));
    return zeroHeavy ? ZeroHeavyOptions(size, tables) : RealisticOptions(size, tables);
}

void RunAlignment(benchmark::State& state, bool zeroHeavy) {
    const GeneratedCase& generated = CachedCase(Options(state, zeroHeavy));
    const auto threads = static_cast<unsigned>(state.range(2));
    double baseline = 0;
    double work = 0;
    std::size_t anchors = 0;
    for (auto _ : state) {
        baseline += MemchrPassSeconds(generated.newImage.size());
        const double seconds = SecondsOf([&] {
            const detail::ImageAlignment alignment(generated.oldImage, generated.newImage, {}, threads);
            anchors = alignment.Anchors().size();
        });
        work += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["memchr_ms"] = 1000 * baseline / static_cast<double>(state.iterations());
    state.counters["x_memchr"] = work / baseline;
    state.counters["anchors"] = static_cast<double>(anchors);
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * (generated.oldImage.size() + generated.newImage.size())));
}

void BM_Alignment_Realistic(benchmark::State& state) {
    RunAlignment(state, false);
}
BENCHMARK(BM_Alignment_Realistic)
    ->Args({64, 1000, 0})
    ->Args({256, 1000, 1})
    ->Args({256, 1000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_Alignment_ZeroHeavy(benchmark::State& state) {
    RunAlignment(state, true);
}
BENCHMARK(BM_Alignment_ZeroHeavy)->Args({256, 1000, 0})->UseManualTime()->Unit(benchmark::kMillisecond);

// The locator the create command calls, against the exact search it grew from, both in the same loop: the
// difference is what the neighbourhood costs the command.
void RunLocator(benchmark::State& state, bool zeroHeavy) {
    const GeneratedCase& generated = CachedCase(Options(state, zeroHeavy));
    const auto needles = TableBytes(generated);
    std::vector<TableRegion> regions;
    for (const GeneratedTable& table : generated.tables) {
        regions.push_back({table.oldAddress, table.Size()});
    }
    double baseline = 0;
    double search = 0;
    double work = 0;
    for (auto _ : state) {
        baseline += MemchrPassSeconds(generated.newImage.size());
        search += SecondsOf([&] { benchmark::DoNotOptimize(FindLowestOffsets(generated.newImage, needles)); });
        const double seconds =
            SecondsOf([&] { benchmark::DoNotOptimize(FindTables(generated.oldImage, generated.newImage, regions)); });
        work += seconds;
        state.SetIterationTime(seconds);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["memchr_ms"] = 1000 * baseline / iterations;
    state.counters["search_ms"] = 1000 * search / iterations;
    state.counters["x_memchr"] = work / baseline;
    state.counters["x_search"] = work / search;
}

void BM_Locator_Realistic(benchmark::State& state) {
    RunLocator(state, false);
}
BENCHMARK(BM_Locator_Realistic)
    ->Args({64, 1000, 0})
    ->Args({256, 1000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_Locator_ZeroHeavy(benchmark::State& state) {
    RunLocator(state, true);
}
BENCHMARK(BM_Locator_ZeroHeavy)->Args({256, 1000, 0})->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace dovra::bench
