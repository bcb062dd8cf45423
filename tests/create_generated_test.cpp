#include <algorithm>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "bench/generator.h"
#include "engine/native_path.h"
#include "engine/path_text.h"
#include "locate/table_search.h"
#include "support/test_support.h"

// The create command on a generated settings folder of many tables: every table's block in the log, and
// every definition file written, must be what the plain search per table gives.
namespace dovra {
namespace {

using test::ReadBytes;
using test::Sj;

class CreateGenerated : public ::testing::TestWithParam<bench::DataStyle> {};

// Offsets where every byte of `needle` matches, overlapping ones included, counted up to the cap.
std::uint32_t CountMatchesNaive(std::span<const std::uint8_t> haystack, std::span<const std::uint8_t> needle) {
    std::uint32_t count = 0;
    std::size_t from = 0;
    while (count < kMatchCountCap && from < haystack.size()) {
        const std::optional<std::uint32_t> next = FindLowestOffsetNaive(haystack.subspan(from), needle);
        if (!next) {
            break;
        }
        ++count;
        from += *next + 1;
    }
    return count;
}

// The log block of one table, from its name line to the empty line that ends it.
std::vector<std::string> BlockOf(const std::vector<std::string>& log, const std::string& name) {
    auto start = std::find(log.begin(), log.end(), name);
    EXPECT_NE(start, log.end()) << "no block for a table";
    auto end = std::find(start, log.end(), std::string());
    return {start, end};
}

TEST_P(CreateGenerated, EveryTableIsRelocatedAsThePlainSearchFindsIt) {
    bench::GeneratorOptions options;
    options.seed = 21;
    options.imageSize = 512 * 1024;
    options.tableCount = 60;
    options.maxRecordSize = 64;
    options.maxRecordCount = 200;
    options.changedPercent = 10;
    options.removedPercent = 10;
    options.style = GetParam();
    const bench::GeneratedCase generated = bench::Generate(options);

    test::TempDir dir;
    bench::WriteSettingsFolder(generated, dir.Native(u8"old"));
    bench::WriteFile(dir.Native(u8"old.bin"), generated.oldImage);
    bench::WriteFile(dir.Native(u8"new.bin"), generated.newImage);
    CDefinitionUpdater engine;
    test::CapturedChannels channels(engine);
    engine.LoadOldSettings(dir.Cp932(u8"old"));
    ASSERT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
    ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
    ASSERT_TRUE(engine.CreateDefinitions());
    EXPECT_TRUE(channels.messages.empty());

    for (const auto& table : generated.tables) {
        const auto needle = std::span(generated.oldImage).subspan(table.oldAddress, table.Size());
        const std::optional<std::uint32_t> expected = FindLowestOffsetNaive(generated.newImage, needle);
        const std::vector<std::string> block = BlockOf(channels.log, table.name);
        ASSERT_GE(block.size(), 4u);
        const std::string output = JoinPath(dir.Cp932(u8"old_NEW"), table.name + ".ini");
        const std::string written = ReadBytes(ToNativePath(output).value());
        if (!expected) {
            EXPECT_EQ(block[3], Sj(u8"　一致するデータが見つかりませんでした。"));
            EXPECT_EQ(written, "");
            continue;
        }
        EXPECT_EQ(block[3], fmt::format("{}{:08X}{}", Sj(u8"　"), *expected, Sj(u8"にデータ発見。")));
        // A table that stands at several places says so right after the place used.
        const std::uint32_t count = CountMatchesNaive(generated.newImage, needle);
        const bool countLine = block.size() > 4 && block[4].starts_with(Sj(u8"　※同じデータが"));
        EXPECT_EQ(countLine, count > 1) << table.name;
        if (count > 1 && count < kMatchCountCap) {
            EXPECT_EQ(block[4], fmt::format("{}{:d}{}", Sj(u8"　※同じデータが"), count, Sj(u8"か所にあります。")));
        }
        // The first line of the definition file carries the table's address: where it was found.
        if (*expected == table.oldAddress) {
            EXPECT_EQ(written, bench::DefinitionFileText(table));
        } else {
            EXPECT_EQ(written.substr(0, written.find(',')), fmt::format("{:X}", *expected));
        }
    }

    // Every table is counted once in the summary, and the records say what the blocks say.
    const auto& outcomes = engine.LastCreateOutcomes();
    ASSERT_EQ(outcomes.size(), generated.tables.size());
    const CreateSummary summary = Summarize(outcomes);
    EXPECT_EQ(summary.moved + summary.sameAddress + summary.similar + summary.notFound + summary.errors,
              generated.tables.size());
    const auto heading = std::find(channels.log.begin(), channels.log.end(), Sj(u8"--- 結果 ---"));
    ASSERT_EQ(std::distance(heading, channels.log.end()), 3);
    EXPECT_EQ(
        heading[1],
        fmt::format(fmt::runtime(Sj(u8"移動 {:d}　同アドレス {:d}　似たデータ {:d}　見つからず {:d}　エラー {:d}")),
                    summary.moved, summary.sameAddress, summary.similar, summary.notFound, summary.errors));
    EXPECT_EQ(heading[2], fmt::format("{}{:d}", Sj(u8"要確認 "), summary.needsCheck));
    for (const CreateTableRecord& outcome : outcomes) {
        const std::vector<std::string> block = BlockOf(channels.log, outcome.name);
        for (const std::string& note : outcome.notes) {
            EXPECT_NE(std::find(block.begin(), block.end(), note), block.end()) << outcome.name;
        }
        const auto logged = std::count_if(block.begin(), block.end(),
                                          [](const std::string& line) { return line.starts_with(Sj(u8"　※")); });
        EXPECT_EQ(static_cast<std::size_t>(logged), outcome.notes.size()) << outcome.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Styles, CreateGenerated,
                         ::testing::Values(bench::DataStyle::Realistic, bench::DataStyle::ZeroHeavy));

} // namespace
} // namespace dovra
