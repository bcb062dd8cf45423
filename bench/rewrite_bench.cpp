// The rewrite command carrying 100 000 changed fields back into the new binary: both settings folders
// describe the same addresses, and the new binary differs from the old one in the first byte of 100 000
// fields, so every table is asked about (answered yes) and logs one line per field. Timed against the file
// I/O it cannot avoid (reading both binaries and both settings folders, writing the output file), in the
// same loop. The three-way rewrite runs on the same files with the changed binary as the unmodified old one
// (the update changed nothing), so the same 100 000 fields are the user's own changes and are carried;
// it is timed against the plain rewrite in the same run.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "bench/case_files.h"
#include "bench/rewrite_files.h"
#include "engine/definition_updater.h"
#include "engine/file_system.h"

namespace dovra::bench {
namespace {

void FileIoOnly(const RewriteFiles& files) {
    const BinaryRead oldBinary = ReadBinaryAndTouch(files.OldBinary());
    const BinaryRead newBinary = ReadBinaryAndTouch(files.NewBinary());
    ReadSettingsFolder(files.OldFolder());
    ReadSettingsFolder(files.NewFolder());
    WriteFileAtomically(files.Output(), newBinary.data.get(), newBinary.size);
}

// The plain rewrite (no base) or the three-way one, loads included, as a click runs them.
double TimedRewrite(const RewriteFiles& files, bool threeWay, std::size_t& lines) {
    CDefinitionUpdater engine;
    lines = 0;
    engine.m_log = [&](const std::string& line) {
        lines += 1;
        benchmark::DoNotOptimize(line.data());
    };
    engine.m_confirm = [](const std::string&) { return true; };
    return SecondsOf([&] {
        engine.LoadOldSettings(files.OldFolder());
        engine.LoadNewSettings(files.NewFolder());
        engine.LoadOldBinary(files.OldBinary());
        engine.LoadNewBinary(files.NewBinary());
        if (threeWay) {
            engine.LoadBaseBinary(files.NewBinary());
        }
        TouchPages(engine.OldImage().data.get(), engine.OldImage().size);
        TouchPages(engine.NewImage().data.get(), engine.NewImage().size);
        TouchPages(engine.BaseImage().data.get(), engine.BaseImage().size);
        engine.Rewrite();
    });
}

void BM_ThreeWayRewrite_100000Fields(benchmark::State& state) {
    const RewriteFiles& files = CachedRewriteFiles();
    double plainSeconds = 0;
    double threeWaySeconds = 0;
    std::size_t lines = 0;
    for (auto _ : state) {
        plainSeconds += TimedRewrite(files, false, lines);
        const double seconds = TimedRewrite(files, true, lines);
        threeWaySeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["plain_ms"] = 1000 * plainSeconds / static_cast<double>(state.iterations());
    state.counters["x_plain"] = threeWaySeconds / plainSeconds;
    state.counters["log_lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_ThreeWayRewrite_100000Fields)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Rewrite_100000Fields(benchmark::State& state) {
    const RewriteFiles& files = CachedRewriteFiles();
    double ioSeconds = 0;
    double rewriteSeconds = 0;
    std::size_t lines = 0;
    for (auto _ : state) {
        ioSeconds += SecondsOf([&] { FileIoOnly(files); });
        CDefinitionUpdater engine;
        lines = 0;
        engine.m_log = [&](const std::string& line) {
            lines += 1;
            benchmark::DoNotOptimize(line.data());
        };
        engine.m_confirm = [](const std::string&) { return true; };
        const double seconds = SecondsOf([&] {
            engine.LoadOldSettings(files.OldFolder());
            engine.LoadNewSettings(files.NewFolder());
            engine.LoadOldBinary(files.OldBinary());
            engine.LoadNewBinary(files.NewBinary());
            TouchPages(engine.OldImage().data.get(), engine.OldImage().size);
            TouchPages(engine.NewImage().data.get(), engine.NewImage().size);
            engine.Rewrite();
        });
        rewriteSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["io_ms"] = 1000 * ioSeconds / static_cast<double>(state.iterations());
    state.counters["x_io"] = rewriteSeconds / ioSeconds;
    state.counters["log_lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_Rewrite_100000Fields)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace dovra::bench
