#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "bench/generator.h"

// What the benchmarks share: generated cases built once per process, scratch folders, and the baselines
// every figure is divided by. Each benchmark times its baseline in the same loop as its subject, one
// after the other, so both see the same load on a shared machine; the ratio is the figure that counts.
namespace dovra::bench {

inline constexpr std::uint32_t kMiB = 1u << 20;

// The case for these options, generated on first use and kept for the rest of the process.
const GeneratedCase& CachedCase(const GeneratorOptions& options);

// The realistic case the targets are stated for, scaled: `imageMiB` MiB and `tables` tables.
GeneratorOptions RealisticOptions(std::uint32_t imageMiB, std::uint32_t tables, std::uint64_t seed = 1);
GeneratorOptions ZeroHeavyOptions(std::uint32_t imageMiB, std::uint32_t tables, std::uint64_t seed = 1);

// Every table's bytes in the old image.
std::vector<std::span<const std::uint8_t>> TableBytes(const GeneratedCase& generated);

// A folder for a benchmark's files, removed with its contents when the object goes. It lies under
// $DOVRA_BENCH_DIR when that is set, else in /dev/shm where there is one (a RAM file system, so that file
// I/O costs memory copies rather than whatever the disk and its file system add: the figures then show
// the tool's own work), else under the system's temporary folder.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& stem);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    static std::filesystem::path Base();

private:
    std::filesystem::path m_path;
};

// The memory-bandwidth yardstick: memchr over `size` bytes that do not hold the byte searched for, so it
// reads them all. The buffer is allocated and touched once per size and is larger than any cache, like
// the binary image it stands for.
double MemchrPassSeconds(std::size_t size);

// Reads one byte of every page of a buffer a file was just read into: the first access from the program to
// a page the kernel filled can cost several microseconds (on virtual machines with shadow page tables, such
// as the one the figures in docs/performance.md come from, about six per 4 KiB page). It is a cost of
// getting the file into memory, paid once by whatever touches the page first; the benchmarks pay it with
// the loads, in the subject and the baseline alike, so it never lands on a command's first pass.
void TouchPages(const std::uint8_t* data, std::size_t size);

// A binary as a load leaves it: read whole, every page touched.
struct BinaryRead {
    std::unique_ptr<std::uint8_t[]> data;
    std::uint32_t size = 0;
};
BinaryRead ReadBinaryAndTouch(const std::string& path);

// Reads every definition file and name list of a settings folder in text mode, as a load does.
void ReadSettingsFolder(const std::string& folder);

template <typename F> double SecondsOf(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace dovra::bench
