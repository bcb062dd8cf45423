#include <gtest/gtest.h>

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "definitions/definition_set.h"
#include "engine/path_text.h"
#include "engine/texts.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::Sj;
using test::TempDir;
using test::WriteBytes;

// A name list that is not there, as the message says it.
const std::string kNameListMissing = std::string(text::kNameListOpenFailed) + Sj(u8"（見つかりません）");

class SettingsLoadingTest : public ::testing::Test {
protected:
    std::string ParseFailed(std::u8string_view file) const { return fmt::sprintf(text::kParseFailed, dir.Cp932(file)); }
    static std::vector<std::string> Keys(const SummaryMap& map) { return SortedTableNames(map); }
    template <typename Map> static std::vector<std::string> Keys(const Map& map) {
        std::vector<std::string> keys;
        for (const auto& [key, value] : map) {
            keys.push_back(key);
        }
        std::sort(keys.begin(), keys.end());
        return keys;
    }
    // A definition file of one 4-byte record at `address` and a name list of `records` lines.
    void WriteTable(std::u8string_view folder, std::u8string_view name, unsigned address, int records) {
        std::u8string base = std::u8string(folder) + u8"/" + std::u8string(name);
        WriteBytes(dir.Native(base + u8".ini"), fmt::format("{:X},a,4,,\r\n", address));
        std::string names;
        for (int i = 0; i < records; ++i) {
            names += fmt::format("r{}\r\n", i);
        }
        WriteBytes(dir.Native(base + u8".idn"), names);
    }

    TempDir dir;
    CDefinitionUpdater engine;
    test::CapturedChannels channels{engine};
};

// A settings folder with good and broken tables side by side.
class MixedFolderTest : public SettingsLoadingTest {
protected:
    void SetUp() override {
        WriteTable(u8"defs", u8"good", 0x100, 2);
        WriteTable(u8"defs", u8"emptylist", 0x200, 0);
        WriteBytes(dir.Native(u8"defs/nolist.ini"), "300,a,2,,\n");
        WriteBytes(dir.Native(u8"defs/bad.ini"), "400,a,4,,\nzz,b,\n");
        WriteBytes(dir.Native(u8"defs/bad.idn"), "r\n");
        WriteBytes(dir.Native(u8"defs/empty.ini"), "");
        WriteBytes(dir.Native(u8"defs/empty.idn"), "r\n");
        WriteBytes(dir.Native(u8"defs/UPPER.INI"), "500,a,1,,\n");
        WriteBytes(dir.Native(u8"defs/upper.idn"), "r\nr\nr\n");
        WriteBytes(dir.Native(u8"defs/表.ini"), "600,a,2,,\n");
        WriteBytes(dir.Native(u8"defs/表.idn"), Sj(u8"一\r\n"));
        WriteBytes(dir.Native(u8"defs/notes.txt"), "not a table\n");
        std::filesystem::create_directory(dir.Native(u8"defs/sub.ini"));
    }
    std::string Folder() const { return dir.Cp932(u8"defs"); }
};

TEST_F(MixedFolderTest, OldSetKeepsEveryReadableTableAndReportsTheBrokenOnes) {
    EXPECT_TRUE(engine.LoadOldSettings(Folder()));
    const auto& old = engine.OldSummaries();
    EXPECT_EQ(Keys(old), (std::vector<std::string>{"UPPER", "emptylist", "good", "nolist", Sj(u8"表")}));

    const TableSummary& good = old.at("good");
    EXPECT_EQ(good.name, "good");
    EXPECT_EQ(good.baseAddress, 0x100u);
    EXPECT_EQ(good.recordSize, 4u);
    EXPECT_EQ(good.tableSize, 8u);
    EXPECT_EQ(old.at("emptylist").tableSize, 0u);
    EXPECT_EQ(old.at("emptylist").baseAddress, 0x200u);
    // Without its name list the table still counts, with size 0 and its other numbers.
    EXPECT_EQ(old.at("nolist").tableSize, 0u);
    EXPECT_EQ(old.at("nolist").baseAddress, 0x300u);
    EXPECT_EQ(old.at("nolist").recordSize, 2u);
    // Upper-case extensions find their name list in any letter case.
    EXPECT_EQ(old.at("UPPER").tableSize, 3u);
    EXPECT_EQ(old.at(Sj(u8"表")).tableSize, 2u);

    EXPECT_EQ(channels.messages, (std::vector<std::string>{ParseFailed(u8"defs/bad.ini"),
                                                           ParseFailed(u8"defs/empty.ini"), kNameListMissing}));
    EXPECT_EQ(engine.OldFolder(), Folder());
}

TEST_F(MixedFolderTest, NewSetKeepsOnlyTablesThatLoadedWhole) {
    EXPECT_TRUE(engine.LoadNewSettings(Folder()));
    const std::vector<std::string> loaded{"UPPER", "emptylist", "good", Sj(u8"表")};
    EXPECT_EQ(Keys(engine.NewSummaries()), loaded);
    EXPECT_EQ(Keys(engine.NewTables()), loaded);
    EXPECT_EQ(Keys(engine.NewRecordNames()), loaded);

    EXPECT_EQ(engine.NewSummaries().at("good").tableSize, 8u);
    EXPECT_EQ(engine.NewTables().at("good").entries.size(), 1u);
    EXPECT_EQ(engine.NewRecordNames().at("good"), (std::vector<std::string>{"r0\n", "r1\n"}));
    EXPECT_EQ(engine.NewRecordNames().at(Sj(u8"表")), (std::vector<std::string>{Sj(u8"一\n")}));
    EXPECT_EQ(engine.NewSummaries().at("emptylist").tableSize, 0u);

    EXPECT_EQ(channels.messages,
              (std::vector<std::string>{ParseFailed(u8"defs/bad.ini"), ParseFailed(u8"defs/empty.ini"),
                                        kNameListMissing, ParseFailed(u8"defs/nolist.ini")}));
    EXPECT_EQ(engine.NewFolder(), Folder());
}

TEST_F(SettingsLoadingTest, UnopenableDefinitionFileLeavesTheEmptySummaryInTheOldSetOnly) {
    std::error_code error;
    std::filesystem::create_directory(dir.Native(u8"defs"));
    std::filesystem::create_symlink("nowhere.ini", dir.Native(u8"defs/dangling.ini"), error);
    if (error) {
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    }
    WriteTable(u8"defs", u8"good", 0x10, 1);

    engine.LoadOldSettings(dir.Cp932(u8"defs"));
    EXPECT_EQ(Keys(engine.OldSummaries()), (std::vector<std::string>{"", "good"}));
    const TableSummary& empty = engine.OldSummaries().at("");
    EXPECT_EQ(empty.name, "");
    EXPECT_EQ(empty.baseAddress, 0u);
    EXPECT_EQ(empty.tableSize, 0u);
    EXPECT_EQ(empty.recordSize, 0u);
    EXPECT_TRUE(channels.messages.empty());

    engine.LoadNewSettings(dir.Cp932(u8"defs"));
    EXPECT_EQ(Keys(engine.NewSummaries()), (std::vector<std::string>{"good"}));
    EXPECT_EQ(channels.messages, (std::vector<std::string>{ParseFailed(u8"defs/dangling.ini")}));
}

TEST_F(SettingsLoadingTest, EachLoadReplacesTheWholeSet) {
    WriteTable(u8"A", u8"P", 0x10, 1);
    WriteTable(u8"A", u8"Q", 0x20, 1);
    WriteTable(u8"B", u8"Q", 0x30, 2);
    WriteTable(u8"B", u8"R", 0x40, 1);

    engine.LoadOldSettings(dir.Cp932(u8"A"));
    engine.LoadOldSettings(dir.Cp932(u8"B"));
    EXPECT_EQ(Keys(engine.OldSummaries()), (std::vector<std::string>{"Q", "R"}));
    EXPECT_EQ(engine.OldSummaries().at("Q").baseAddress, 0x30u);

    engine.LoadNewSettings(dir.Cp932(u8"A"));
    engine.LoadNewSettings(dir.Cp932(u8"B"));
    EXPECT_EQ(Keys(engine.NewTables()), (std::vector<std::string>{"Q", "R"}));
    EXPECT_EQ(engine.NewSummaries().at("Q").baseAddress, 0x30u);
    EXPECT_EQ(engine.NewRecordNames().at("Q").size(), 2u);
    EXPECT_TRUE(channels.messages.empty());

    // A table that lost its name list stays out, even though the earlier folder had it.
    std::filesystem::remove(dir.Native(u8"B/Q.idn"));
    engine.LoadNewSettings(dir.Cp932(u8"B"));
    EXPECT_EQ(Keys(engine.NewSummaries()), (std::vector<std::string>{"R"}));
    EXPECT_EQ(Keys(engine.NewRecordNames()), (std::vector<std::string>{"R"}));
    EXPECT_EQ(channels.messages, (std::vector<std::string>{kNameListMissing, ParseFailed(u8"B/Q.ini")}));
}

TEST_F(SettingsLoadingTest, MissingFolderOrFileIsNamedAndEmptyFolderIsNot) {
    WriteTable(u8"A", u8"P", 0x10, 1);
    WriteBytes(dir.Native(u8"file"), "10,P,,1,\n");
    std::filesystem::create_directory(dir.Native(u8"empty"));
    for (const auto* folder : {u8"missing", u8"file", u8"empty"}) {
        engine.LoadOldSettings(dir.Cp932(u8"A"));
        engine.LoadNewSettings(dir.Cp932(u8"A"));
        channels.messages.clear();
        const bool there = std::u8string_view(folder) == u8"empty";
        EXPECT_EQ(engine.LoadOldSettings(dir.Cp932(folder)), there) << dir.Cp932(folder);
        EXPECT_EQ(engine.LoadNewSettings(dir.Cp932(folder)), there) << dir.Cp932(folder);
        // The sets are emptied either way: nothing of the previous folder may be used by mistake.
        EXPECT_TRUE(engine.OldSummaries().empty());
        EXPECT_TRUE(engine.NewSummaries().empty());
        EXPECT_TRUE(engine.NewTables().empty());
        EXPECT_TRUE(engine.NewRecordNames().empty());
        EXPECT_EQ(engine.OldFolder(), dir.Cp932(folder));
        const std::string notFound = dir.Cp932(folder) + Sj(u8"フォルダが見つかりません");
        const std::vector<std::string> expected =
            there ? std::vector<std::string>() : std::vector<std::string>(2, notFound);
        EXPECT_EQ(channels.messages, expected);
    }
}

TEST_F(SettingsLoadingTest, FolderPathIsKeptExactlyAsGiven) {
    WriteTable(u8"A", u8"P", 0x10, 1);
    const std::string withSeparator = dir.Cp932(u8"A") + kPathSeparator;
    engine.LoadOldSettings(withSeparator);
    EXPECT_EQ(engine.OldFolder(), withSeparator);
    EXPECT_EQ(Keys(engine.OldSummaries()), (std::vector<std::string>{"P"}));
}

// Every table's name list is looked up by name; with capitals ("T.INI" beside "T.IDN") the exact name
// is never there. A lookup that scanned the folder for each table made a load grow with the square of the table
// count; the folder is read once, so both letter cases cost about the same.
TEST_F(SettingsLoadingTest, CapitalExtensionsLoadAboutAsFastAsLowerCase) {
    if (!test::NamesAreCaseSensitive(dir.Path())) {
        // There the file system opens "T.IDN" as "t.idn" by its own lookup (under Wine a folder scan per
        // open), which is not the tool's to speed up.
        GTEST_SKIP() << "names of any letter case are one file here";
    }
    constexpr int kTables = 500;
    for (int i = 0; i < kTables; ++i) {
        const std::string name = fmt::format("t{:04d}", i);
        WriteBytes(dir.Path() / "lower" / (name + ".ini"), "10,a,4,,\n");
        WriteBytes(dir.Path() / "lower" / (name + ".idn"), "r\n");
        WriteBytes(dir.Path() / "upper" / (name + ".INI"), "10,a,4,,\n");
        WriteBytes(dir.Path() / "upper" / (name + ".IDN"), "r\n");
    }
    // The best of a few runs, so that a busy machine does not decide.
    const auto bestSeconds = [&](std::u8string_view folder) {
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            const auto start = std::chrono::steady_clock::now();
            engine.LoadOldSettings(dir.Cp932(folder));
            engine.LoadNewSettings(dir.Cp932(folder));
            best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        return best;
    };
    const double lower = bestSeconds(u8"lower");
    const double upper = bestSeconds(u8"upper");
    // Every table found its one-line name list, whatever the letter case.
    ASSERT_EQ(engine.NewSummaries().size(), static_cast<std::size_t>(kTables));
    EXPECT_EQ(engine.NewSummaries().at("t0000").tableSize, 4u);
    EXPECT_LT(upper, 5 * lower + 0.05) << "lower case " << lower << " s, capitals " << upper << " s";
}

TEST(SortedTableNames, AscendingByteOrder) {
    SummaryMap map;
    for (const std::string& name : {std::string("b"), Sj(u8"表"), std::string("A"), std::string("a"), std::string()}) {
        map[name].name = name;
    }
    EXPECT_EQ(SortedTableNames(map), (std::vector<std::string>{"", "A", "a", "b", Sj(u8"表")}));
}

} // namespace
} // namespace dovra
