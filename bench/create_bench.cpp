// The create command as the dialog runs it (old settings folder, both binaries, then CreateDefinitions) on
// generated files, against two baselines timed in the same loop: one memchr pass over an image as large
// as the new binary, and the command's file I/O alone (reading both binaries and every file of the
// settings folder, reading every definition file again and writing it, copying every name list).
#include <optional>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "bench/case_files.h"
#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/text_lines.h"
#include "locate/all_tables_search.h"
#include "migration/atomic_copy.h"

namespace dovra::bench {
namespace {

// What the command reads and writes, without the work in between, timed in the same three phases as the
// dialog's create button: reading both binaries; reading the settings folder (every definition file and
// name list, as the load reads them); reading every definition file again and writing it, and copying
// every name list, atomically, as the command does.
struct IoPhases {
    double binaries = 0;
    double folder = 0;
    double writes = 0;
    double Total() const { return binaries + folder + writes; }
};

IoPhases FileIoOnly(const CaseFiles& files) {
    IoPhases phases;
    phases.binaries = SecondsOf([&] {
        const BinaryRead oldBinary = ReadBinaryAndTouch(files.OldBinary());
        const BinaryRead newBinary = ReadBinaryAndTouch(files.NewBinary());
    });
    phases.folder = SecondsOf([&] { ReadSettingsFolder(files.OldFolder()); });
    phases.writes = SecondsOf([&] {
        // The command reads each definition file again as it rewrites it.
        for (const auto& entry : FindFilesWithExtension(files.OldFolder(), "ini")) {
            const std::optional<std::string> text = ReadTextModeFile(entry.path);
            WriteFileAtomically(files.ScratchFile(entry.name), text->data(), text->size());
        }
        for (const auto& entry : FindFilesWithExtension(files.OldFolder(), "idn")) {
            CopyFileAtomically(entry.path, files.ScratchFile(entry.name));
        }
    });
    return phases;
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
    IoPhases io;
    double searchSeconds = 0;
    Phases sum;
    for (auto _ : state) {
        // The first pass right after the previous iteration's gigabytes of file I/O takes about twice as
        // long as the next ones on the virtual machine of the figures; the second shows the memory
        // bandwidth, the limit the target is stated against.
        MemchrPassSeconds(files.Case().newImage.size());
        memchrSeconds += MemchrPassSeconds(files.Case().newImage.size());
        const IoPhases ioPhases = FileIoOnly(files);
        io.binaries += ioPhases.binaries;
        io.folder += ioPhases.folder;
        io.writes += ioPhases.writes;
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
    state.counters["io_ms"] = perIteration(io.Total());
    state.counters["io_binaries_ms"] = perIteration(io.binaries);
    state.counters["io_folder_ms"] = perIteration(io.folder);
    state.counters["io_writes_ms"] = perIteration(io.writes);
    state.counters["settings_ms"] = perIteration(sum.loadSettings);
    state.counters["binaries_ms"] = perIteration(sum.loadBinaries);
    state.counters["command_ms"] = perIteration(sum.command);
    state.counters["search_ms"] = perIteration(searchSeconds);
    // What the create button costs beyond its file I/O, in memchr passes over an image of the new binary's
    // size. `beyond_io_x_memchr` is the whole run less the whole I/O baseline: a small difference of two
    // large numbers, since reading the binaries (pure I/O in both) varies from run to run by more than all
    // the work. `work_beyond_io_x_memchr` leaves the binaries out and compares each of the other two
    // phases with its own I/O: the settings load with reading the folder, the command with writing its
    // files. It is the steadier figure.
    state.counters["beyond_io_x_memchr"] = (sum.Total() - io.Total()) / memchrSeconds;
    state.counters["work_beyond_io_x_memchr"] =
        (sum.loadSettings - io.folder + sum.command - io.writes) / memchrSeconds;
    state.counters["search_x_memchr"] = searchSeconds / memchrSeconds;
    state.counters["x_io"] = sum.Total() / io.Total();
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
