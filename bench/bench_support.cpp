#include "bench/bench_support.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <tuple>

#include <benchmark/benchmark.h>

#include "engine/binary_image.h"
#include "engine/file_system.h"
#include "engine/text_lines.h"

namespace dovra::bench {
namespace {

auto Key(const GeneratorOptions& o) {
    return std::make_tuple(o.seed, o.imageSize, o.tableCount, o.minRecordSize, o.maxRecordSize, o.minRecordCount,
                           o.maxRecordCount, o.changedPercent, o.removedPercent, static_cast<int>(o.style));
}

} // namespace

const GeneratedCase& CachedCase(const GeneratorOptions& options) {
    static std::map<decltype(Key(options)), std::unique_ptr<GeneratedCase>> cases;
    auto& slot = cases[Key(options)];
    if (!slot) {
        slot = std::make_unique<GeneratedCase>(Generate(options));
    }
    return *slot;
}

GeneratorOptions RealisticOptions(std::uint32_t imageMiB, std::uint32_t tables, std::uint64_t seed) {
    GeneratorOptions options;
    options.seed = seed;
    options.imageSize = imageMiB * kMiB;
    options.tableCount = tables;
    return options;
}

GeneratorOptions ZeroHeavyOptions(std::uint32_t imageMiB, std::uint32_t tables, std::uint64_t seed) {
    GeneratorOptions options = RealisticOptions(imageMiB, tables, seed);
    options.style = DataStyle::ZeroHeavy;
    return options;
}

std::vector<std::span<const std::uint8_t>> TableBytes(const GeneratedCase& generated) {
    std::vector<std::span<const std::uint8_t>> needles;
    needles.reserve(generated.tables.size());
    for (const auto& table : generated.tables) {
        needles.push_back(std::span(generated.oldImage).subspan(table.oldAddress, table.Size()));
    }
    return needles;
}

ScratchFolder::ScratchFolder(const std::string& stem) {
    std::random_device random;
    m_path = Base() / (stem + "-" + std::to_string(random()));
    std::filesystem::create_directories(m_path);
}

std::filesystem::path ScratchFolder::Base() {
    if (const char* chosen = std::getenv("DOVRA_BENCH_DIR"); chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error)) {
        return "/dev/shm";
    }
    return std::filesystem::temp_directory_path();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void TouchPages(const std::uint8_t* data, std::size_t size) {
    std::uint64_t sum = 0;
    for (std::size_t at = 0; at < size; at += 4096) {
        sum += data[at];
    }
    benchmark::DoNotOptimize(sum);
}

BinaryRead ReadBinaryAndTouch(const std::string& path) {
    BinaryRead binary;
    ReadWholeFile(path, binary.data, binary.size);
    TouchPages(binary.data.get(), binary.size);
    return binary;
}

void ReadSettingsFolder(const std::string& folder) {
    for (const char* extension : {"ini", "idn"}) {
        for (const auto& entry : FindFilesWithExtension(folder, extension)) {
            benchmark::DoNotOptimize(ReadTextModeFile(entry.path));
        }
    }
}

double MemchrPassSeconds(std::size_t size) {
    static std::map<std::size_t, std::vector<std::uint8_t>> buffers;
    auto& buffer = buffers[size];
    if (buffer.size() != size) {
        buffer.assign(size, 0);
    }
    const void* hit = nullptr;
    const double seconds = SecondsOf([&] { hit = std::memchr(buffer.data(), 1, buffer.size()); });
    benchmark::DoNotOptimize(hit);
    return seconds;
}

} // namespace dovra::bench
