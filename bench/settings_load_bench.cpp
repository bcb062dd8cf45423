// Loading a settings folder of 1000 definition files with their name lists, as both commands do for the
// old folder (summaries only) and the rewrite does for the new one (whole tables and record names),
// against reading every file of the folder whole, timed in the same loop.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "bench/case_files.h"
#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/text_lines.h"

namespace dovra::bench {
namespace {

std::size_t ReadEveryFile(const std::string& folder) {
    std::size_t bytes = 0;
    for (const char* extension : {"ini", "idn"}) {
        for (const auto& entry : FindFilesWithExtension(folder, extension)) {
            bytes += ReadTextModeFile(entry.path)->size();
        }
    }
    return bytes;
}

template <typename Load> void RunLoad(benchmark::State& state, Load load) {
    const CaseFiles& files = CachedCaseFiles(RealisticOptions(64, static_cast<std::uint32_t>(state.range(0))));
    double readSeconds = 0;
    double loadSeconds = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        readSeconds += SecondsOf([&] { bytes = ReadEveryFile(files.OldFolder()); });
        CDefinitionUpdater engine;
        const double seconds = SecondsOf([&] { load(engine, files.OldFolder()); });
        loadSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["read_files_ms"] = 1000 * readSeconds / static_cast<double>(state.iterations());
    state.counters["x_read_files"] = loadSeconds / readSeconds;
    state.counters["folder_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_LoadOldSettings(benchmark::State& state) {
    RunLoad(state, [](CDefinitionUpdater& engine, const std::string& folder) { engine.LoadOldSettings(folder); });
}
BENCHMARK(BM_LoadOldSettings)->Arg(1000)->Arg(3000)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_LoadNewSettings(benchmark::State& state) {
    RunLoad(state, [](CDefinitionUpdater& engine, const std::string& folder) { engine.LoadNewSettings(folder); });
}
BENCHMARK(BM_LoadNewSettings)->Arg(1000)->Arg(3000)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace dovra::bench
