// How the create command's table search behaves on the data that defeats a first-byte scan: a binary that
// is mostly zero bytes and a table of 4 KiB of zeros followed by one other byte, found near the end.
// The fast search should run at about the speed of one memchr pass over the image; the naive method
// compares 4 KiB at nearly every offset.
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include <benchmark/benchmark.h>

#include "locate/table_search.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMiB = 1u << 20;
constexpr std::uint8_t kMarker = 0x5A;

struct SearchCase {
    Bytes image;
    Bytes table;
    std::size_t place = 0;
};

// The image of `size` zero bytes holds the table 4 KiB before its end; built once per size.
const SearchCase& ZeroHeavyCase(std::size_t size) {
    static std::map<std::size_t, SearchCase> cases;
    auto [it, inserted] = cases.try_emplace(size);
    if (inserted) {
        SearchCase& c = it->second;
        c.table.assign(4096, 0);
        c.table.push_back(kMarker);
        c.image.assign(size, 0);
        c.place = size - c.table.size() - 4096;
        c.image[c.place + 4096] = kMarker;
    }
    return it->second;
}

// Every eighth byte is the needle's rarest byte and each candidate is charged a 4 KiB comparison, so the
// verification budget runs out and the linear fallback does most of the work; the table is not there.
const SearchCase& ManyCandidatesCase() {
    static SearchCase c = [] {
        SearchCase made;
        made.image.resize(64 * kMiB);
        for (std::size_t i = 7; i < made.image.size(); i += 8) {
            made.image[i] = 1;
        }
        made.table.assign(4096, 0);
        made.table.push_back(1);
        made.table.push_back(2);
        return made;
    }();
    return c;
}

void Report(benchmark::State& state, const SearchCase& c, std::optional<std::uint32_t> found) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.image.size()));
    if (c.place != 0 && found != c.place) {
        state.SkipWithError("wrong offset");
    }
}

void BM_FindLowestOffset_ZeroHeavy(benchmark::State& state) {
    const SearchCase& c = ZeroHeavyCase(static_cast<std::size_t>(state.range(0)) * kMiB);
    std::optional<std::uint32_t> found;
    for (auto _ : state) {
        found = dovra::FindLowestOffset(c.image, c.table);
        benchmark::DoNotOptimize(found);
    }
    Report(state, c, found);
}
BENCHMARK(BM_FindLowestOffset_ZeroHeavy)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond);

// The yardstick: one memchr pass over the same image for the table's last byte.
void BM_MemchrPass_ZeroHeavy(benchmark::State& state) {
    const SearchCase& c = ZeroHeavyCase(static_cast<std::size_t>(state.range(0)) * kMiB);
    for (auto _ : state) {
        const void* hit = std::memchr(c.image.data(), kMarker, c.image.size());
        benchmark::DoNotOptimize(hit);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.image.size()));
}
BENCHMARK(BM_MemchrPass_ZeroHeavy)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond);

// The first-byte scan with a full comparison at each hit: seconds per pass, so one pass each.
void BM_Naive_ZeroHeavy(benchmark::State& state) {
    const SearchCase& c = ZeroHeavyCase(static_cast<std::size_t>(state.range(0)) * kMiB);
    std::optional<std::uint32_t> found;
    for (auto _ : state) {
        found = dovra::FindLowestOffsetNaive(c.image, c.table);
        benchmark::DoNotOptimize(found);
    }
    Report(state, c, found);
}
BENCHMARK(BM_Naive_ZeroHeavy)->Arg(4)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);

#if defined(__GLIBC__)
// For comparison: glibc's two-way memmem is linear too, but steps through a zero area a byte at a time.
void BM_GlibcMemmem_ZeroHeavy(benchmark::State& state) {
    const SearchCase& c = ZeroHeavyCase(static_cast<std::size_t>(state.range(0)) * kMiB);
    for (auto _ : state) {
        const void* hit = memmem(c.image.data(), c.image.size(), c.table.data(), c.table.size());
        benchmark::DoNotOptimize(hit);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.image.size()));
}
BENCHMARK(BM_GlibcMemmem_ZeroHeavy)->Arg(64)->Unit(benchmark::kMillisecond);
#endif

// The fallback on its own over the same image, for its cost per byte.
void BM_LinearFallback_ZeroHeavy(benchmark::State& state) {
    const SearchCase& c = ZeroHeavyCase(static_cast<std::size_t>(state.range(0)) * kMiB);
    std::optional<std::uint32_t> found;
    for (auto _ : state) {
        found = dovra::detail::FindLowestOffsetLinear(c.image, c.table, 0);
        benchmark::DoNotOptimize(found);
    }
    Report(state, c, found);
}
BENCHMARK(BM_LinearFallback_ZeroHeavy)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_FindLowestOffset_ManyCandidates(benchmark::State& state) {
    const SearchCase& c = ManyCandidatesCase();
    std::optional<std::uint32_t> found;
    for (auto _ : state) {
        found = dovra::FindLowestOffset(c.image, c.table);
        benchmark::DoNotOptimize(found);
    }
    Report(state, c, found);
}
BENCHMARK(BM_FindLowestOffset_ManyCandidates)->Unit(benchmark::kMillisecond);

// Why the standard Boyer-Moore searcher is not the fallback: building it for a zero run with one marker
// grows with the square of the needle length in libstdc++.
void BM_StdBoyerMooreSetup(benchmark::State& state) {
    Bytes needle(static_cast<std::size_t>(state.range(0)), 0);
    needle.back() = kMarker;
    for (auto _ : state) {
        std::boyer_moore_searcher searcher(needle.begin(), needle.end());
        benchmark::DoNotOptimize(searcher);
    }
}
BENCHMARK(BM_StdBoyerMooreSetup)->Arg(4096)->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);

} // namespace
