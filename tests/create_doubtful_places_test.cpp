#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "engine/path_text.h"
#include "support/test_support.h"

// The create command where the search is in doubt: a table whose bytes also stand before its true place, a
// table the update changed, a table whose only match is far from where its neighbours went. The two
// questions come once each, after the opening question and before anything is written.
namespace dovra {
namespace {

using test::ReadBytes;
using test::Sj;
using test::WriteBytes;

// Bytes that occur once: the neighbourhood of every table can be told from any other place.
std::string NoiseBytes(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Eight records of 8 bytes: 64 bytes from `address`.
std::string TableIni(std::uint32_t address) {
    return fmt::format("{:X},HP,4,8,0,,,0,,,\r\n{:X},MP,4,,0,,,0,,,\r\n", address, address + 4);
}
const std::string kNames = "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n";
constexpr std::size_t kSize = 64;

// Old: 64 KiB of noise with tables a (0x4000), b (0x8000) and c (0xC000). New: 0x100 bytes of other noise
// inserted at the start, so every table moved by 0x100; a copy of a at 0x80 and of c at 0xC0 in the
// inserted bytes; two bytes of b changed; c's true place overwritten.
class DoubtfulPlaces : public ::testing::Test {
protected:
    DoubtfulPlaces() {
        std::filesystem::create_directories(dir.Native(u8"old"));
        const std::string old = NoiseBytes(0x10000, 1);
        std::string inserted = NoiseBytes(0x100, 2);
        inserted.replace(0x80, kSize, old.substr(0x4000, kSize));
        inserted.replace(0xC0, kSize, old.substr(0xC000, kSize));
        std::string updated = inserted + old;
        updated[0x8100 + 5] ^= 0x5A;
        updated[0x8100 + 40] ^= 0x3C;
        updated.replace(0xC100, kSize, NoiseBytes(kSize, 3));
        WriteBytes(dir.Native(u8"old.bin"), old);
        WriteBytes(dir.Native(u8"new.bin"), updated);
    }

    void WriteTable(std::u8string_view name, std::uint32_t address) {
        WriteBytes(dir.Native(u8"old") / (std::u8string(name) + u8".ini"), TableIni(address));
        WriteBytes(dir.Native(u8"old") / (std::u8string(name) + u8".idn"), kNames);
    }

    void Run() {
        engine.LoadOldSettings(dir.Cp932(u8"old"));
        ASSERT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
        ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
        ASSERT_TRUE(engine.CreateDefinitions());
    }

    std::string OutputFile(std::string_view name) const { return JoinPath(dir.Cp932(u8"old_NEW"), name); }
    std::string ReadOutput(std::u8string_view name) const { return ReadBytes(dir.Native(u8"old_NEW") / name); }
    bool Written(std::u8string_view name) const { return std::filesystem::exists(dir.Native(u8"old_NEW") / name); }

    // The log block of one table, from its name line to the empty line that ends it.
    std::vector<std::string> Block(const std::string& name) const {
        auto start = std::find(channels.log.begin(), channels.log.end(), name);
        EXPECT_NE(start, channels.log.end());
        return {start, std::find(start, channels.log.end(), std::string())};
    }
    std::vector<std::string> Summary() const {
        auto heading = std::find(channels.log.begin(), channels.log.end(), Sj(u8"--- 結果 ---"));
        EXPECT_NE(heading, channels.log.end());
        return {heading, channels.log.end()};
    }

    test::TempDir dir;
    CDefinitionUpdater engine;
    test::CapturedChannels channels{engine};
};

const std::string kCreateQuestion =
    Sj(u8"無改造の旧バイナリファイル, 新バイナリファイル, 旧Dovra定義ファイルを使って新Dovra定義ファイルを作成します");
const std::string kAlignedQuestion =
    Sj(u8"1個のテーブルは同じデータが複数の場所にあり、最初の位置は前後のデータの移動と合いません。"
       u8"前後のデータに合う位置を使いますか？");
const std::string kSimilarQuestion =
    Sj(u8"1個のテーブルは完全に一致するデータがありませんが、似たデータが見つかりました。"
       u8"その位置に合わせて定義ファイルを作成しますか？");
const std::string kFinished = Sj(u8"完了しました");
const std::string kTwoPlaces = Sj(u8"　※同じデータが2か所にあります。");

bool IsSimilarLine(const std::string& line, std::uint32_t offset) {
    return line.starts_with(fmt::format("{}{:08X}{}", Sj(u8"　"), offset, Sj(u8"に似たデータがあります（一致率"))) &&
           line.ends_with(Sj(u8"%）。"));
}

TEST_F(DoubtfulPlaces, YesToBothUsesTheAlignedMatchAndTheSimilarPlace) {
    WriteTable(u8"a", 0x4000);
    WriteTable(u8"b", 0x8000);
    WriteTable(u8"c", 0xC000);
    Run();

    EXPECT_EQ(channels.questions,
              (std::vector<std::string>{kCreateQuestion, kAlignedQuestion, kSimilarQuestion, kFinished}));
    EXPECT_EQ(Block("a"), (std::vector<std::string>{"a", Sj(u8"　ADDR: 00004000"), Sj(u8"　Size: 64"),
                                                    Sj(u8"　00004100にデータ発見。"), kTwoPlaces,
                                                    Sj(u8"　アドレスを256ずつ書き換え"),
                                                    Sj(u8"　") + OutputFile("a.ini") + Sj(u8"に出力")}));
    EXPECT_EQ(ReadOutput(u8"a.ini"), "4100,HP,4,8,0,,,0,,,\n4104,MP,4,,0,,,0,,,\n");

    const std::vector<std::string> b = Block("b");
    ASSERT_EQ(b.size(), 7u);
    EXPECT_EQ(b[3], Sj(u8"　一致するデータが見つかりませんでした。"));
    EXPECT_TRUE(IsSimilarLine(b[4], 0x8100)) << b[4];
    EXPECT_EQ(b[5], Sj(u8"　アドレスを256ずつ書き換え"));
    EXPECT_EQ(ReadOutput(u8"b.ini"), "8100,HP,4,8,0,,,0,,,\n8104,MP,4,,0,,,0,,,\n");

    // The only match of c is in the inserted bytes, far from where everything around c went.
    EXPECT_EQ(Block("c"),
              (std::vector<std::string>{
                  "c", Sj(u8"　ADDR: 0000C000"), Sj(u8"　Size: 64"), Sj(u8"　000000C0にデータ発見。"),
                  Sj(u8"　※前後のデータから予想される位置（0000C100）と違います。確認してください。"),
                  Sj(u8"　アドレスを-48960ずつ書き換え"), Sj(u8"　") + OutputFile("c.ini") + Sj(u8"に出力")}));
    EXPECT_EQ(Summary(), (std::vector<std::string>{Sj(u8"--- 結果 ---"),
                                                   Sj(u8"移動 2　同アドレス 0　似たデータ 1　見つからず 0　エラー 0"),
                                                   Sj(u8"要確認 2")}));

    const auto& records = engine.LastCreateOutcomes();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].outcome, CreateOutcome::Moved);
    EXPECT_EQ(records[0].matchCount, 2u);
    EXPECT_EQ(records[0].newAddress, std::optional<std::uint32_t>(0x4100));
    EXPECT_EQ(records[1].outcome, CreateOutcome::Similar);
    EXPECT_EQ(records[1].newAddress, std::optional<std::uint32_t>(0x8100));
    ASSERT_TRUE(records[1].similarity);
    EXPECT_LT(*records[1].similarity, 100u);
    EXPECT_EQ(records[2].outcome, CreateOutcome::Moved);
    EXPECT_EQ(records[2].notes.size(), 1u);
}

TEST_F(DoubtfulPlaces, NoToBothKeepsTheLowestMatchAndWritesNothingForTheChangedTable) {
    WriteTable(u8"a", 0x4000);
    WriteTable(u8"b", 0x8000);
    channels.answers = {true, false, false};
    Run();

    EXPECT_EQ(channels.questions,
              (std::vector<std::string>{kCreateQuestion, kAlignedQuestion, kSimilarQuestion, kFinished}));
    // Declined: the lowest match is used, and the block says where the neighbourhood puts the table.
    EXPECT_EQ(Block("a"),
              (std::vector<std::string>{
                  "a", Sj(u8"　ADDR: 00004000"), Sj(u8"　Size: 64"), Sj(u8"　00000080にデータ発見。"), kTwoPlaces,
                  Sj(u8"　※前後のデータから予想される位置（00004100）と違います。確認してください。"),
                  Sj(u8"　アドレスを-16256ずつ書き換え"), Sj(u8"　") + OutputFile("a.ini") + Sj(u8"に出力")}));
    EXPECT_EQ(ReadOutput(u8"a.ini"), "80,HP,4,8,0,,,0,,,\n84,MP,4,,0,,,0,,,\n");
    // The similar place is still told, but nothing is written there.
    const std::vector<std::string> b = Block("b");
    ASSERT_EQ(b.size(), 5u);
    EXPECT_EQ(b[3], Sj(u8"　一致するデータが見つかりませんでした。"));
    EXPECT_TRUE(IsSimilarLine(b[4], 0x8100)) << b[4];
    EXPECT_FALSE(Written(u8"b.ini"));
    EXPECT_TRUE(Written(u8"b.idn"));
    EXPECT_EQ(Summary(), (std::vector<std::string>{Sj(u8"--- 結果 ---"),
                                                   Sj(u8"移動 1　同アドレス 0　似たデータ 0　見つからず 1　エラー 0"),
                                                   Sj(u8"要確認 1")}));
    const auto& records = engine.LastCreateOutcomes();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].outcome, CreateOutcome::NotFound);
    EXPECT_FALSE(records[1].newAddress);
    EXPECT_TRUE(records[1].similarity);
}

TEST_F(DoubtfulPlaces, EachQuestionIsAskedOnlyWhenATableNeedsIt) {
    WriteTable(u8"a", 0x4000);
    Run();
    EXPECT_EQ(channels.questions, (std::vector<std::string>{kCreateQuestion, kAlignedQuestion, kFinished}));
}

TEST_F(DoubtfulPlaces, TheSimilarQuestionAloneWhenNoTableHasSeveralMatches) {
    WriteTable(u8"b", 0x8000);
    WriteTable(u8"c", 0xC000);
    Run();
    EXPECT_EQ(channels.questions, (std::vector<std::string>{kCreateQuestion, kSimilarQuestion, kFinished}));
}

TEST_F(DoubtfulPlaces, DecliningTheOpeningQuestionAsksNothingElseAndWritesNothing) {
    WriteTable(u8"a", 0x4000);
    WriteTable(u8"b", 0x8000);
    channels.answers = {false};
    Run();
    EXPECT_EQ(channels.questions, (std::vector<std::string>{kCreateQuestion}));
    EXPECT_TRUE(channels.log.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW")));
}

} // namespace
} // namespace dovra
