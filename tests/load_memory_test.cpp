// Memory a settings folder costs to load, counted by this executable's own operator new: it must follow
// what the files hold, not what their numbers claim (a record size of 1 MiB, millions of short lines).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <iterator>
#include <new>
#include <string>

#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "support/test_support.h"

namespace {

// Every block carries its size in front, so a release can be counted without the sized delete.
constexpr std::size_t kHeader = alignof(std::max_align_t);
std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

void* CountedAllocate(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    const std::size_t live = g_live += size;
    std::size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void CountedRelease(void* pointer) {
    if (pointer == nullptr) {
        return;
    }
    void* block = static_cast<char*>(pointer) - kHeader;
    g_live -= *static_cast<std::size_t*>(block);
    std::free(block);
}

} // namespace

void* operator new(std::size_t size) {
    return CountedAllocate(size);
}
void* operator new[](std::size_t size) {
    return CountedAllocate(size);
}
void operator delete(void* pointer) noexcept {
    CountedRelease(pointer);
}
void operator delete[](void* pointer) noexcept {
    CountedRelease(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    CountedRelease(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    CountedRelease(pointer);
}

namespace dovra::test {
namespace {

// The most memory live at once while `run` ran, above what was live when it started.
template <typename Run> std::size_t PeakDuring(Run run) {
    const std::size_t before = g_live.load();
    g_peak = before;
    run();
    return g_peak.load() - before;
}

constexpr std::size_t kMiB = 1 << 20;

TEST(LoadMemory, RecordSizeClaimsCostNothingUntilLinesBackThem) {
    // 100 definition files of 31 bytes, each claiming 1 MiB records, with empty name lists.
    TempDir dir;
    for (int i = 0; i < 100; ++i) {
        WriteBytes(dir.Native(u8"s") / ("t" + std::to_string(i) + ".ini"), "0,HP,1,100000,0,,,0,,,\r\n");
        WriteBytes(dir.Native(u8"s") / ("t" + std::to_string(i) + ".idn"), "");
    }
    CDefinitionUpdater engine;
    CapturedChannels channels(engine);
    const std::size_t peak = PeakDuring([&] {
        engine.LoadOldSettings(dir.Cp932(u8"s"));
        engine.LoadNewSettings(dir.Cp932(u8"s"));
    });
    ASSERT_EQ(engine.NewTables().size(), 100u);
    EXPECT_EQ(engine.NewSummaries().at("t7").recordSize, 0x100000u);
    EXPECT_LT(peak, 4 * kMiB);
    RecordProperty("peak_bytes", std::to_string(peak));
}

TEST(LoadMemory, ManyShortLinesCostAFewTimesTheFile) {
    // 6 MB of three-byte lines after a one-byte record: only the record's line describes a byte.
    TempDir dir;
    std::string text = "0,HP,1,1,0,,,0,,,\r\n";
    for (int i = 0; i < 2'000'000; ++i) {
        text += "0,\n";
    }
    WriteBytes(dir.Native(u8"s/big.ini"), text);
    WriteBytes(dir.Native(u8"s/big.idn"), "r\r\n");
    CDefinitionUpdater engine;
    CapturedChannels channels(engine);
    const std::size_t peak = PeakDuring([&] { engine.LoadNewSettings(dir.Cp932(u8"s")); });
    ASSERT_EQ(engine.NewTables().size(), 1u);
    EXPECT_EQ(engine.NewTables().at("big").fieldNames.at(0), "HP");
    // The file is read whole (twice its size while it grows) and nothing per line is kept.
    EXPECT_LT(peak, 3 * text.size() + kMiB);
    RecordProperty("peak_bytes", std::to_string(peak));
}

TEST(LoadMemory, LinesThatDescribeBytesKeepLessThanTheirFile) {
    // A 64 KiB record described byte by byte, as settings folders are: a name and a width on the first
    // line of each 4-byte field, the other columns the same on every line.
    TempDir dir;
    const std::string hex = Sj(u8"16進");
    std::string text;
    for (std::uint32_t offset = 0; offset < 0x10000; ++offset) {
        const bool first = offset % 4 == 0;
        fmt::format_to(std::back_inserter(text), "{:08X},", 0x400000 + offset);
        if (first) {
            fmt::format_to(std::back_inserter(text), "field{}", offset / 4);
        }
        fmt::format_to(std::back_inserter(text), ",{},{:X},0,{},,{},,,\r\n", first ? 4 : 1, offset == 0 ? 0x10000 : 0,
                       hex, first ? 0 : 1);
    }
    WriteBytes(dir.Native(u8"s/big.ini"), text);
    WriteBytes(dir.Native(u8"s/big.idn"), "r\r\n");
    CDefinitionUpdater engine;
    CapturedChannels channels(engine);
    const std::size_t before = g_live.load();
    const std::size_t peak = PeakDuring([&] { engine.LoadNewSettings(dir.Cp932(u8"s")); });
    const std::size_t kept = g_live.load() - before;
    const auto& table = engine.NewTables().at("big");
    ASSERT_EQ(table.entries.size(), 0x10000u);
    EXPECT_EQ(table.entries[0x1234].address, 0x401234u);
    EXPECT_EQ(table.entries[0x1234].widthText, "4");
    EXPECT_EQ(table.entries[0x1235].widthText, "1");
    EXPECT_EQ(table.entries[0x1235].name, "");
    EXPECT_EQ(table.entries[0x1234].name, "field1165");
    EXPECT_EQ(table.fieldNames.size(), 0x4000u);
    // Lines, texts and field names together: less than twice the file.
    EXPECT_LT(kept, 2 * text.size());
    EXPECT_LT(peak, 3 * text.size());
    RecordProperty("kept_bytes", std::to_string(kept));
    RecordProperty("peak_bytes", std::to_string(peak));
}

} // namespace
} // namespace dovra::test
