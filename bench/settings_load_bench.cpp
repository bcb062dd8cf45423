// Loading a settings folder of 1000 definition files with their name lists, as both commands do for the
// old folder (summaries only) and the rewrite does for the new one (whole tables and record names),
// against reading every file of the folder whole, timed in the same loop. A folder whose extensions are
// written in capitals ("T.INI", "T.IDN") is timed against the same folder in lower case.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>

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

// The case's old folder again beside it, every extension in capitals; made once per table count.
std::string UpperCaseFolder(const CaseFiles& files) {
    static std::map<std::string, std::string> made;
    auto [found, inserted] = made.try_emplace(files.OldFolder());
    if (inserted) {
        const std::filesystem::path upper = files.Root() / "old_upper";
        std::filesystem::create_directory(upper);
        for (const auto& entry : std::filesystem::directory_iterator(files.Root() / "old")) {
            std::string extension = entry.path().extension().string();
            for (char& c : extension) {
                c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            }
            std::filesystem::copy_file(entry.path(), upper / entry.path().stem().concat(extension));
        }
        found->second = CaseFiles::EnginePath(upper);
    }
    return found->second;
}

// Both loads look a name list up for every definition file; with capitals the exact name is never there.
void BM_LoadNewSettingsUpperCase(benchmark::State& state) {
    const CaseFiles& files = CachedCaseFiles(RealisticOptions(64, static_cast<std::uint32_t>(state.range(0))));
    const std::string upper = UpperCaseFolder(files);
    double lowerSeconds = 0;
    double upperSeconds = 0;
    for (auto _ : state) {
        CDefinitionUpdater lowerEngine;
        lowerSeconds += SecondsOf([&] { lowerEngine.LoadNewSettings(files.OldFolder()); });
        CDefinitionUpdater upperEngine;
        const double seconds = SecondsOf([&] { upperEngine.LoadNewSettings(upper); });
        upperSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["lower_case_ms"] = 1000 * lowerSeconds / static_cast<double>(state.iterations());
    state.counters["x_lower_case"] = upperSeconds / lowerSeconds;
}
BENCHMARK(BM_LoadNewSettingsUpperCase)->Arg(1000)->Arg(4000)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace dovra::bench
