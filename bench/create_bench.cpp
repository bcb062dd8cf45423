// The create command as the dialog runs it (old settings folder, both binaries, then CreateDefinitions) on
// generated files, against two baselines timed in the same loop: one memchr pass over an image as large
// as the new binary, and the file I/O the command cannot avoid (reading both binaries and every file of
// the settings folder, writing every definition file and name list).
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "bench/case_files.h"
#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/text_lines.h"
#include "migration/all_tables_search.h"

namespace dovra::bench {
namespace {

// What the command reads and writes, without the work in between.
void FileIoOnly(const CaseFiles& files) {
    std::unique_ptr<std::uint8_t[]> oldData;
    std::unique_ptr<std::uint8_t[]> newData;
    std::uint32_t oldSize = 0;
    std::uint32_t newSize = 0;
    ReadWholeFile(files.OldBinary(), oldData, oldSize);
    ReadWholeFile(files.NewBinary(), newData, newSize);
    TouchPages(oldData.get(), oldSize);
    TouchPages(newData.get(), newSize);
    for (const auto& entry : FindFilesWithExtension(files.OldFolder(), "ini")) {
        const std::optional<std::string> text = ReadTextModeFile(entry.path);
        WriteFileAtomically(files.ScratchFile(entry.name), text->data(), text->size());
    }
    for (const auto& entry : FindFilesWithExtension(files.OldFolder(), "idn")) {
        CopyFileOverwriting(entry.path, files.ScratchFile(entry.name));
    }
}

struct Phases {
    double loadSettings = 0;
    double loadBinaries = 0;
    double command = 0;
    double Total() const { return loadSettings + loadBinaries + command; }
};

// The dialog's create button: the loads, then the command (questions answered yes, lines counted).
Phases RunCreate(const CaseFiles& files) {
    CDefinitionUpdater engine;
    std::size_t lines = 0;
    engine.m_log = [&](const std::string&) { ++lines; };
    engine.m_confirm = [](const std::string&) { return true; };
    Phases phases;
    phases.loadSettings = SecondsOf([&] { engine.LoadOldSettings(files.OldFolder()); });
    phases.loadBinaries = SecondsOf([&] {
        engine.LoadOldBinary(files.OldBinary());
        engine.LoadNewBinary(files.NewBinary());
        // Counted with the loads, as in the I/O baseline, rather than falling on the command's first pass.
        TouchPages(engine.OldImage().data.get(), engine.OldImage().size);
        TouchPages(engine.NewImage().data.get(), engine.NewImage().size);
    });
    phases.command = SecondsOf([&] { engine.CreateDefinitions(); });
    benchmark::DoNotOptimize(lines);
    return phases;
}

// Arguments: image size in MiB, table count.
void BM_Create(benchmark::State& state, const GeneratorOptions& options) {
    const CaseFiles& files = CachedCaseFiles(options);
    const auto needles = TableBytes(files.Case());
    double memchrSeconds = 0;
    double ioSeconds = 0;
    double searchSeconds = 0;
    Phases sum;
    for (auto _ : state) {
        memchrSeconds += MemchrPassSeconds(files.Case().newImage.size());
        ioSeconds += SecondsOf([&] { FileIoOnly(files); });
        // The command's search on its own, for the share it takes of the command.
        searchSeconds +=
            SecondsOf([&] { benchmark::DoNotOptimize(FindLowestOffsets(files.Case().newImage, needles)); });
        const Phases phases = RunCreate(files);
        sum.loadSettings += phases.loadSettings;
        sum.loadBinaries += phases.loadBinaries;
        sum.command += phases.command;
        state.SetIterationTime(phases.Total());
    }
    const auto perIteration = [&](double seconds) { return 1000 * seconds / static_cast<double>(state.iterations()); };
    state.counters["memchr_ms"] = perIteration(memchrSeconds);
    state.counters["io_ms"] = perIteration(ioSeconds);
    state.counters["settings_ms"] = perIteration(sum.loadSettings);
    state.counters["binaries_ms"] = perIteration(sum.loadBinaries);
    state.counters["command_ms"] = perIteration(sum.command);
    state.counters["search_ms"] = perIteration(searchSeconds);
    // What the create button costs beyond its file I/O, in memchr passes over an image of the new binary's
    // size: the difference to the I/O baseline, and (steadier where the I/O varies from run to run by more
    // than the work itself) the settings load and the command with the binaries already in memory, which
    // still write two files per table.
    state.counters["beyond_io_x_memchr"] = (sum.Total() - ioSeconds) / memchrSeconds;
    state.counters["work_x_memchr"] = (sum.loadSettings + sum.command) / memchrSeconds;
    state.counters["search_x_memchr"] = searchSeconds / memchrSeconds;
    state.counters["x_io"] = sum.Total() / ioSeconds;
}

void BM_Create_Realistic(benchmark::State& state) {
    BM_Create(state,
              RealisticOptions(static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1))));
}
BENCHMARK(BM_Create_Realistic)
    ->Args({256, 1000})
    ->Args({64, 1000})
    ->Args({256, 100})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_Create_ZeroHeavy(benchmark::State& state) {
    BM_Create(state,
              ZeroHeavyOptions(static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1))));
}
BENCHMARK(BM_Create_ZeroHeavy)->Args({256, 1000})->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace dovra::bench
