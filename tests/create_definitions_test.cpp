#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "engine/path_text.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::ReadBytes;
using test::Sj;
using test::WriteBytes;

// A table of two 4-byte records at 0x1000 (HP and MP fields), as the Dovra editor writes it (CR LF).
const std::string kTableIni = "1000,HP,2,4,0,,,0,,,\r\n1002,MP,2,,0,,,0,,,\r\n";
const std::string kTableIdn = "Alice\r\nBob\r\n";
const std::string kTableBytes = "\x11\x22\x33\x44\x55\x66\x77\x88";

// A binary of `size` zero bytes with the given bytes placed at the given offsets.
std::string Image(std::size_t size, std::initializer_list<std::pair<std::size_t, std::string>> placements) {
    std::string image(size, '\0');
    for (const auto& [offset, bytes] : placements) {
        image.replace(offset, bytes.size(), bytes);
    }
    return image;
}

// Every file under a folder with its bytes, to show that a folder was left as it was.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files[entry.path().string()] = entry.is_regular_file() ? ReadBytes(entry.path()) : "<folder>";
    }
    return files;
}

class CreateDefinitions : public ::testing::Test {
protected:
    CreateDefinitions() { std::filesystem::create_directories(dir.Native(u8"old")); }

    void WriteOld(std::u8string_view name, std::string_view bytes) { WriteBytes(dir.Native(u8"old") / name, bytes); }
    void WriteTable(std::u8string_view name) {
        WriteOld(std::u8string(name) + u8".ini", kTableIni);
        WriteOld(std::u8string(name) + u8".idn", kTableIdn);
    }
    void WriteBinaries(std::string_view oldImage, std::string_view newImage) {
        WriteBytes(dir.Native(u8"old.bin"), oldImage);
        WriteBytes(dir.Native(u8"new.bin"), newImage);
    }
    // The create button's sequence: old folder, old binary, new binary, command.
    void Load(const std::string& oldFolder) {
        engine.LoadOldSettings(oldFolder);
        ASSERT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
        ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
    }
    bool Run(const std::string& oldFolder) {
        Load(oldFolder);
        return engine.CreateDefinitions();
    }
    bool Run() { return Run(dir.Cp932(u8"old")); }

    std::string Output() const { return dir.Cp932(u8"old_NEW"); }
    std::string OutputFile(std::string_view name) const { return JoinPath(Output(), name); }
    std::string OldFile(std::string_view name) const { return JoinPath(dir.Cp932(u8"old"), name); }
    std::string ReadOutput(std::u8string_view name) const { return ReadBytes(dir.Native(u8"old_NEW") / name); }

    // The log from the first table block up to the summary.
    std::vector<std::string> TableLog() const {
        auto heading = std::find(channels.log.begin(), channels.log.end(), Sj(u8"--- iniファイル作成開始 ---"));
        EXPECT_NE(heading, channels.log.end());
        auto summary = std::find(heading, channels.log.end(), Sj(u8"--- 結果 ---"));
        EXPECT_NE(summary, channels.log.end());
        return heading == channels.log.end() ? std::vector<std::string>()
                                             : std::vector<std::string>(heading + 1, summary);
    }
    // The summary's two count lines.
    std::vector<std::string> SummaryLog() const {
        auto summary = std::find(channels.log.begin(), channels.log.end(), Sj(u8"--- 結果 ---"));
        EXPECT_NE(summary, channels.log.end());
        // The lines after them say how the folder was put in place and what failed.
        return channels.log.end() - summary < 3 ? std::vector<std::string>()
                                                : std::vector<std::string>(summary + 1, summary + 3);
    }

    test::TempDir dir;
    CDefinitionUpdater engine;
    test::CapturedChannels channels{engine};
};

const std::string kCreateQuestion =
    Sj(u8"無改造の旧バイナリファイル, 新バイナリファイル, 旧Dovra定義ファイルを使って新Dovra定義ファイルを作成します");
const std::string kFinished = Sj(u8"完了しました");

TEST_F(CreateDefinitions, MovedTableIsWrittenWithShiftedAddressesAndTheWholeLogReadsAsExpected) {
    WriteTable(u8"a");
    // A line without a comma has no address and stays as it is; CR LF becomes LF.
    WriteOld(u8"a.ini", kTableIni + "comment line\r\n");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes}}));
    const auto oldBefore = Snapshot(dir.Native(u8"old"));

    EXPECT_TRUE(Run());

    const std::vector<std::string> expected = {
        Output() + Sj(u8"フォルダを作成"),
        Sj(u8"--- idnファイルの複製 ---"),
        Sj(u8"コピー成功: ") + OutputFile("a.idn") + "\n",
        "",
        Sj(u8"--- iniファイル作成開始 ---"),
        "a",
        Sj(u8"　ADDR: 00001000"),
        Sj(u8"　Size: 8"),
        Sj(u8"　00001100にデータ発見。"),
        Sj(u8"　アドレスを256ずつ書き換え"),
        Sj(u8"　") + OutputFile("a.ini") + Sj(u8"に出力"),
        "",
        Sj(u8"--- 結果 ---"),
        Sj(u8"移動 1　同アドレス 0　似たデータ 0　見つからず 0　エラー 0"),
        Sj(u8"要確認 0"),
    };
    EXPECT_EQ(channels.log, expected);
    EXPECT_EQ(channels.questions, (std::vector<std::string>{kCreateQuestion, kFinished}));
    EXPECT_TRUE(channels.messages.empty());
    EXPECT_EQ(ReadOutput(u8"a.ini"), "1100,HP,2,4,0,,,0,,,\n1102,MP,2,,0,,,0,,,\ncomment line\n");
    EXPECT_EQ(ReadOutput(u8"a.idn"), kTableIdn);
    EXPECT_EQ(Snapshot(dir.Native(u8"old")), oldBefore);
    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin")), Image(0x2000, {{0x1100, kTableBytes}}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Native(u8"old_NEW")),
                            std::filesystem::directory_iterator()),
              2); // no temporary file left behind
}

TEST_F(CreateDefinitions, TableAtItsOldAddressIsCopiedByteForByte) {
    WriteTable(u8"a");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x3000, {{0x1000, kTableBytes}}));

    EXPECT_TRUE(Run());

    const std::vector<std::string> expected = {
        "a",
        Sj(u8"　ADDR: 00001000"),
        Sj(u8"　Size: 8"),
        Sj(u8"　00001000にデータ発見。"),
        Sj(u8"　同アドレスのため更新不要。ファイルをコピーします。"),
        Sj(u8"　") + OldFile("a.ini") + Sj(u8"をコピー"),
        Sj(u8"　") + OutputFile("a.ini") + Sj(u8"に出力"),
        "",
    };
    EXPECT_EQ(TableLog(), expected);
    EXPECT_EQ(ReadOutput(u8"a.ini"), kTableIni); // CR LF kept
}

TEST_F(CreateDefinitions, TableNotFoundGetsNoDefinitionFileButItsNameListIsCopied) {
    WriteTable(u8"a");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes.substr(0, 7)}}));

    EXPECT_TRUE(Run());

    EXPECT_EQ(TableLog(), (std::vector<std::string>{"a", Sj(u8"　ADDR: 00001000"), Sj(u8"　Size: 8"),
                                                    Sj(u8"　一致するデータが見つかりませんでした。"), ""}));
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW/a.ini")));
    EXPECT_EQ(ReadOutput(u8"a.idn"), kTableIdn);
    EXPECT_EQ(SummaryLog(), (std::vector<std::string>{
                                Sj(u8"移動 0　同アドレス 0　似たデータ 0　見つからず 1　エラー 0"), Sj(u8"要確認 0")}));
    ASSERT_EQ(engine.LastCreateOutcomes().size(), 1u);
    const CreateTableRecord& outcome = engine.LastCreateOutcomes()[0];
    EXPECT_EQ(outcome.name, "a");
    EXPECT_EQ(outcome.oldAddress, 0x1000u);
    EXPECT_EQ(outcome.size, 8u);
    EXPECT_EQ(outcome.outcome, CreateOutcome::NotFound);
    EXPECT_EQ(outcome.newAddress, std::nullopt);
    EXPECT_EQ(outcome.matchCount, 0u);
}

TEST_F(CreateDefinitions, LowestOffsetWinsOverTheOldAddress) {
    WriteTable(u8"a");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}),
                  Image(0x2000, {{0x0F00, kTableBytes}, {0x1000, kTableBytes}}));

    EXPECT_TRUE(Run());

    auto log = TableLog();
    ASSERT_GE(log.size(), 7u);
    EXPECT_EQ(log[3], Sj(u8"　00000F00にデータ発見。"));
    EXPECT_EQ(log[4], Sj(u8"　※同じデータが2か所にあります。"));
    // Zeros all around: the neighbourhood cannot tell the two places apart, so the lowest one stays.
    EXPECT_EQ(log[5], Sj(u8"　※前後のデータから位置を判断できないため、最初の位置を使いました。確認してください。"));
    EXPECT_EQ(log[6], Sj(u8"　アドレスを-256ずつ書き換え"));
    EXPECT_EQ(ReadOutput(u8"a.ini"), "F00,HP,2,4,0,,,0,,,\nF02,MP,2,,0,,,0,,,\n");
}

TEST_F(CreateDefinitions, SeveralMatchesThatTheNeighbourhoodCannotTellApartUseTheLowestAndSaySo) {
    WriteTable(u8"a");
    // Nothing around the table but zeros, so neither place can be told from the other.
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x100, kTableBytes}, {0x1100, kTableBytes}}));

    EXPECT_TRUE(Run());

    const std::vector<std::string> notes = {
        Sj(u8"　※同じデータが2か所にあります。"),
        Sj(u8"　※前後のデータから位置を判断できないため、最初の位置を使いました。確認してください。")};
    std::vector<std::string> expected = {"a", Sj(u8"　ADDR: 00001000"), Sj(u8"　Size: 8"),
                                         Sj(u8"　00000100にデータ発見。")};
    expected.insert(expected.end(), notes.begin(), notes.end());
    expected.insert(expected.end(),
                    {Sj(u8"　アドレスを-3840ずつ書き換え"), Sj(u8"　") + OutputFile("a.ini") + Sj(u8"に出力"), ""});
    EXPECT_EQ(TableLog(), expected);
    EXPECT_EQ(SummaryLog(), (std::vector<std::string>{
                                Sj(u8"移動 1　同アドレス 0　似たデータ 0　見つからず 0　エラー 0"), Sj(u8"要確認 1")}));
    // No question: there is no better place to offer.
    EXPECT_EQ(channels.questions, (std::vector<std::string>{kCreateQuestion, kFinished}));
    EXPECT_EQ(ReadOutput(u8"a.ini"), "100,HP,2,4,0,,,0,,,\n102,MP,2,,0,,,0,,,\n");
    // The record holds the same notes as the log.
    ASSERT_EQ(engine.LastCreateOutcomes().size(), 1u);
    const CreateTableRecord& outcome = engine.LastCreateOutcomes()[0];
    EXPECT_EQ(outcome.outcome, CreateOutcome::Moved);
    EXPECT_EQ(outcome.newAddress, std::optional<std::uint32_t>(0x100));
    EXPECT_EQ(outcome.matchCount, 2u);
    EXPECT_EQ(outcome.notes, notes);
}

TEST_F(CreateDefinitions, MatchesBeyondTheCapAreCountedAsThatManyOrMore) {
    WriteTable(u8"a");
    std::string newImage(0x2000, '\0');
    for (std::size_t i = 0; i < 150; ++i) {
        newImage.replace(0x10 + i * 0x20, kTableBytes.size(), kTableBytes);
    }
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), newImage);

    EXPECT_TRUE(Run());

    const auto log = TableLog();
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(log[3], Sj(u8"　00000010にデータ発見。"));
    EXPECT_EQ(log[4], Sj(u8"　※同じデータが100か所以上にあります。"));
}

TEST_F(CreateDefinitions, NegativeShiftWrapsModulo32Bits) {
    // The table moves from 0x1100 to 0x1000; a field line whose address is 10 lands at FFFFFF10.
    WriteOld(u8"a.ini", "1100,HP,2,4,0,,,0,,,\r\n10,X,1,,0,,,0,,,\r\n");
    WriteOld(u8"a.idn", kTableIdn);
    WriteBinaries(Image(0x2000, {{0x1100, kTableBytes}}), Image(0x2000, {{0x1000, kTableBytes}}));

    EXPECT_TRUE(Run());

    EXPECT_EQ(TableLog().at(4), Sj(u8"　アドレスを-256ずつ書き換え"));
    EXPECT_EQ(ReadOutput(u8"a.ini"), "1000,HP,2,4,0,,,0,,,\nFFFFFF10,X,1,,0,,,0,,,\n");
}

TEST_F(CreateDefinitions, MoveOfMoreThan2GiBIsLoggedWithItsTrueDistance) {
    // The table moves from 0x80000200 down to 0x100: 2 GiB and 256 bytes towards the start, a distance no
    // signed 32-bit number holds. The old binary is sparse, so the test costs time only where it reads it.
    constexpr std::uint64_t kOldAddress = 0x80000200;
    WriteOld(u8"a.ini", "80000200,HP,2,4,0,,,0,,,\r\n80000202,MP,2,,0,,,0,,,\r\n");
    WriteOld(u8"a.idn", kTableIdn);
    WriteBinaries("", Image(0x200, {{0x100, kTableBytes}}));
    std::error_code error;
    std::filesystem::resize_file(dir.Native(u8"old.bin"), kOldAddress + 0x100, error);
    if (error) {
        GTEST_SKIP() << "no large file here: " << error.message();
    }
    {
        std::fstream image(dir.Native(u8"old.bin"), std::ios::in | std::ios::out | std::ios::binary);
        image.seekp(static_cast<std::streamoff>(kOldAddress));
        image.write(kTableBytes.data(), static_cast<std::streamsize>(kTableBytes.size()));
        ASSERT_TRUE(image.good());
    }

    EXPECT_TRUE(Run());

    auto log = TableLog();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[3], Sj(u8"　00000100にデータ発見。"));
    EXPECT_EQ(log[4], Sj(u8"　アドレスを-2147483904ずつ書き換え"));
    EXPECT_EQ(ReadOutput(u8"a.ini"), "100,HP,2,4,0,,,0,,,\n102,MP,2,,0,,,0,,,\n");
}

TEST_F(CreateDefinitions, DefinitionsEditedWhileTheQuestionIsOpenAreNeverWrittenAsSearched) {
    // a moves from 0x1000 to 0x1100; b stays at 0x1800. While the opening question is on screen, both
    // files are edited to other addresses: the search used the loaded ones.
    WriteTable(u8"a");
    WriteOld(u8"b.ini", "1800,X,1,4,0,,,0,,,\r\n");
    WriteOld(u8"b.idn", "one\r\n");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}, {0x1800, "\xA1\xB2\xC3\xD4"}}),
                  Image(0x2000, {{0x1100, kTableBytes}, {0x1800, "\xA1\xB2\xC3\xD4"}}));
    Load(dir.Cp932(u8"old"));
    const auto ask = engine.m_confirm;
    engine.m_confirm = [&](const std::string& question) {
        WriteOld(u8"a.ini", "1F00,HP,2,4,0,,,0,,,\r\n");
        WriteOld(u8"b.ini", "1C00,X,1,4,0,,,0,,,\r\n");
        return ask(question);
    };

    // A definition file left out of the new folder fails the command, whatever the reason.
    EXPECT_FALSE(engine.CreateDefinitions());

    // The moved table is written from what was searched, and the edit is said; the unmoved one, which
    // would be copied as the file now stands, is not copied.
    EXPECT_EQ(ReadOutput(u8"a.ini"), "1100,HP,2,4,0,,,0,,,\n1102,MP,2,,0,,,0,,,\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW/b.ini")));
    const auto log = TableLog();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        Sj(u8"　") + OldFile("a.ini") +
                            Sj(u8"は読み込んだ後に変更されています。読み込んだときの内容で書き出します")),
              log.end());
    EXPECT_NE(std::find(log.begin(), log.end(),
                        Sj(u8"　") + OldFile("b.ini") +
                            Sj(u8"は読み込んだ後に変更されたため、コピーしません。もう一度実行してください")),
              log.end());
}

TEST_F(CreateDefinitions, EditsOfFilesLastWrittenLongBeforeTheLoadAreCaughtToo) {
    // Files last written an hour before the load are told unchanged by their stamps, without being read
    // again; an edit while the question is open changes the stamps, one of the same length too.
    WriteTable(u8"a");
    WriteOld(u8"b.ini", "1800,X,1,4,0,,,0,,,\r\n");
    WriteOld(u8"b.idn", "one\r\n");
    WriteOld(u8"c.ini", "1900,Y,1,4,0,,,0,,,\r\n");
    WriteOld(u8"c.idn", "one\r\n");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}, {0x1800, "\xA1\xB2\xC3\xD4"}, {0x1900, "\x5A\x6B"}}),
                  Image(0x2000, {{0x1100, kTableBytes}, {0x1800, "\xA1\xB2\xC3\xD4"}, {0x1900, "\x5A\x6B"}}));
    const auto longAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto* name : {u8"a.ini", u8"b.ini", u8"c.ini"}) {
        std::filesystem::last_write_time(dir.Native(u8"old") / name, longAgo);
    }
    Load(dir.Cp932(u8"old"));
    const auto ask = engine.m_confirm;
    engine.m_confirm = [&](const std::string& question) {
        WriteOld(u8"a.ini", "1F00,HP,2,4,0,,,0,,,\r\n1F02,MP,2,,0,,,0,,,\r\n");
        WriteOld(u8"b.ini", "1C00,X,1,4,0,,,0,,,\r\n");
        return ask(question);
    };

    EXPECT_FALSE(engine.CreateDefinitions());

    // c, untouched, is copied; a is written as searched and b is not copied, both said.
    EXPECT_EQ(ReadOutput(u8"a.ini"), "1100,HP,2,4,0,,,0,,,\n1102,MP,2,,0,,,0,,,\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW/b.ini")));
    EXPECT_EQ(ReadOutput(u8"c.ini"), "1900,Y,1,4,0,,,0,,,\r\n");
    const auto log = TableLog();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        Sj(u8"　") + OldFile("a.ini") +
                            Sj(u8"は読み込んだ後に変更されています。読み込んだときの内容で書き出します")),
              log.end());
    EXPECT_NE(std::find(log.begin(), log.end(),
                        Sj(u8"　") + OldFile("b.ini") +
                            Sj(u8"は読み込んだ後に変更されたため、コピーしません。もう一度実行してください")),
              log.end());
    EXPECT_EQ(
        std::count_if(log.begin(), log.end(),
                      [](const std::string& line) { return line.find(Sj(u8"読み込んだ後")) != std::string::npos; }),
        2);
}

TEST_F(CreateDefinitions, AddressColumnFormsAreAllReadAsHexadecimal) {
    WriteOld(u8"a.ini", "0x1000,A,1,4,\r\n 1001,B,\r\n100a,C,\r\n1003zz,D,\r\n");
    WriteOld(u8"a.idn", kTableIdn);
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1001, kTableBytes}}));

    EXPECT_TRUE(Run());

    EXPECT_EQ(ReadOutput(u8"a.ini"), "1001,A,1,4,\n1002,B,\n100B,C,\n1004,D,\n");
}

TEST_F(CreateDefinitions, ZeroSizeAndOutsideTablesAreReportedAndNotWritten) {
    // An empty name list gives a table of no bytes; a table reaching past the old binary's end has no
    // bytes to look for either.
    WriteOld(u8"empty.ini", kTableIni);
    WriteOld(u8"empty.idn", "");
    WriteOld(u8"far.ini", "1FFC,HP,2,4,\r\n");
    WriteOld(u8"far.idn", kTableIdn);
    WriteBinaries(Image(0x2000, {}), Image(0x2000, {}));

    EXPECT_TRUE(Run());

    const std::vector<std::string> expected = {
        "empty",
        Sj(u8"　ADDR: 00001000"),
        Sj(u8"　Size: 0"),
        Sj(u8"　テーブルサイズが0のため検索できません。"),
        "",
        "far",
        Sj(u8"　ADDR: 00001FFC"),
        Sj(u8"　Size: 8"),
        Sj(u8"　エラー: アドレスがファイルサイズを超えます。"),
        "",
    };
    EXPECT_EQ(TableLog(), expected);
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW/empty.ini")));
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW/far.ini")));
    EXPECT_EQ(ReadOutput(u8"empty.idn"), "");
    EXPECT_EQ(channels.questions.back(), kFinished);
    EXPECT_EQ(SummaryLog(), (std::vector<std::string>{
                                Sj(u8"移動 0　同アドレス 0　似たデータ 0　見つからず 0　エラー 2"), Sj(u8"要確認 0")}));
}

TEST_F(CreateDefinitions, DecliningTheQuestionCreatesAndLogsNothing) {
    WriteTable(u8"a");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes}}));
    channels.answers = {false};

    EXPECT_TRUE(Run());

    EXPECT_EQ(channels.questions, std::vector<std::string>{kCreateQuestion});
    EXPECT_TRUE(channels.log.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW")));
}

TEST_F(CreateDefinitions, MissingBinaryStopsBeforeAnything) {
    WriteTable(u8"a");
    WriteBytes(dir.Native(u8"old.bin"), Image(0x2000, {}));
    engine.LoadOldSettings(dir.Cp932(u8"old"));
    engine.LoadOldBinary(dir.Cp932(u8"old.bin"));
    engine.LoadNewBinary(dir.Cp932(u8"missing.bin"));

    EXPECT_FALSE(engine.CreateDefinitions());

    EXPECT_EQ(channels.questions, std::vector<std::string>{Sj(u8"　バイナリファイルが読み込まれていません")});
    EXPECT_TRUE(channels.log.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW")));
}

TEST_F(CreateDefinitions, SecondRunKeepsTheEarlierFolderWholeAsABackup) {
    // The first run finds both tables; the second finds only a: b's definition from the first run must
    // not pass for this run's, and what the user put into the folder must not be lost.
    WriteTable(u8"a");
    WriteOld(u8"b.ini", "1800,HP,2,4,\r\n");
    WriteOld(u8"b.idn", "x\r\n");
    const std::string bBytes = "\xA1\xB2\xC3\xD4";
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}, {0x1800, bBytes}}),
                  Image(0x2000, {{0x1100, kTableBytes}, {0x1900, bBytes}}));
    ASSERT_TRUE(Run());
    WriteBytes(dir.Native(u8"old_NEW/notes.txt"), "mine");
    const auto firstRun = Snapshot(dir.Native(u8"old_NEW"));
    ASSERT_EQ(ReadOutput(u8"b.ini"), "1900,HP,2,4,\n") << ::testing::PrintToString(channels.log);

    // The engine holds the binary it loaded until its next load; Windows lets nobody write a file while it
    // is held, so that hold ends first.
    engine.LoadNewBinary(dir.Cp932(u8"missing.bin"));
    WriteBytes(dir.Native(u8"new.bin"), Image(0x2000, {{0x1100, kTableBytes}}));
    channels.log.clear();
    EXPECT_TRUE(Run());

    EXPECT_EQ(channels.log.at(0), Sj(u8"--- idnファイルの複製 ---")) << "the folder exists: no line says it was made";
    const auto tail = std::vector<std::string>(channels.log.end() - 2, channels.log.end());
    EXPECT_EQ(tail,
              (std::vector<std::string>{Sj(u8"既存の") + Output() + Sj(u8"フォルダを") + Output() + Sj(u8".bakに退避"),
                                        Output() + Sj(u8"フォルダを今回の内容で作成")}));
    EXPECT_EQ(ReadOutput(u8"a.ini"), "1100,HP,2,4,0,,,0,,,\n1102,MP,2,,0,,,0,,,\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW/b.ini")));
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW/notes.txt")));
    // The backup is the first run's folder, byte for byte, b's old definition included.
    auto backup = Snapshot(dir.Native(u8"old_NEW.bak"));
    std::map<std::string, std::string> expected;
    for (const auto& [path, bytes] : firstRun) {
        expected[dir.Native(u8"old_NEW.bak").string() + path.substr(dir.Native(u8"old_NEW").string().size())] = bytes;
    }
    EXPECT_EQ(backup, expected);

    // A third run never overwrites a backup: it takes the next free name.
    const auto secondRun = Snapshot(dir.Native(u8"old_NEW"));
    ASSERT_TRUE(Run());
    EXPECT_EQ(Snapshot(dir.Native(u8"old_NEW.bak")), expected);
    EXPECT_EQ(Snapshot(dir.Native(u8"old_NEW.bak2")).size(), secondRun.size());
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW.bak2/a.ini")), ReadOutput(u8"a.ini"));
}

TEST_F(CreateDefinitions, LeftoversOfAKilledRunAreRemovedAndNothingElse) {
    WriteTable(u8"a");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes}}));
    WriteBytes(dir.Native(u8".dovra-0123abcd.tmp/a.ini"), "half");
    WriteBytes(dir.Native(u8".dovra-0123abcd.tmp.keep"), "not ours");
    // Only where a name in capitals is another file than the tool's own in lower case.
    const bool caseSensitive = test::NamesAreCaseSensitive(dir.Path());
    if (caseSensitive) {
        WriteBytes(dir.Native(u8".dovra-0123ABCD.tmp"), "not ours either");
    }

    EXPECT_TRUE(Run());

    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8".dovra-0123abcd.tmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.Native(u8".dovra-0123abcd.tmp.keep")));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected{".dovra-0123abcd.tmp.keep", "new.bin", "old", "old.bin", "old_NEW"};
    if (caseSensitive) {
        expected.insert(expected.begin(), ".dovra-0123ABCD.tmp");
    }
    EXPECT_EQ(names, expected);
}

TEST_F(CreateDefinitions, OutputFolderThatCannotBeCreatedEndsTheCommand) {
    WriteTable(u8"a");
    WriteBytes(dir.Native(u8"old_NEW"), "a file where the folder should go");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes}}));
    const auto before = test::SnapshotTree(dir.Path());

    EXPECT_FALSE(Run());

    EXPECT_EQ(channels.log, std::vector<std::string>{
                                Output() + Sj(u8"フォルダを作成できませんでした（同じ名前のファイルがあります）")});
    EXPECT_EQ(channels.questions, std::vector<std::string>{kCreateQuestion});
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW")), "a file where the folder should go");
    EXPECT_EQ(test::SnapshotTree(dir.Path()), before) << "inputs and the file in the way stay as they were";
}

TEST_F(CreateDefinitions, OutputFolderLinkedToTheOldFolderIsRefused) {
    WriteTable(u8"a");
    std::error_code error;
    std::filesystem::create_directory_symlink(dir.Native(u8"old"), dir.Native(u8"old_NEW"), error);
    if (error) {
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    }
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes}}));
    const auto oldBefore = Snapshot(dir.Native(u8"old"));

    EXPECT_FALSE(Run());

    EXPECT_EQ(channels.log,
              std::vector<std::string>{Output() + Sj(u8"フォルダは旧フォルダと同じ場所を指すため使えません")});
    EXPECT_EQ(Snapshot(dir.Native(u8"old")), oldBefore);
}

TEST_F(CreateDefinitions, TrailingSeparatorOfTheOldFolderIsNotPartOfTheOutputName) {
    WriteTable(u8"a");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes}}));

    EXPECT_TRUE(Run(dir.Cp932(u8"old") + kPathSeparator));

    EXPECT_EQ(channels.log.at(0), Output() + Sj(u8"フォルダを作成"));
    EXPECT_EQ(ReadOutput(u8"a.ini"), "1100,HP,2,4,0,,,0,,,\n1102,MP,2,,0,,,0,,,\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old/_NEW")));
}

TEST_F(CreateDefinitions, DotNamesOfTheOldFolderGiveASiblingOutput) {
    WriteTable(u8"a");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes}}));
    std::filesystem::create_directories(dir.Native(u8"old/sub"));
    const std::string sep(1, kPathSeparator);
    const std::string old = dir.Cp932(u8"old");
    const auto sibling = std::filesystem::canonical(dir.Native(u8"old")).parent_path() / "old_NEW";
    for (const std::string& spelling : {old + sep + ".", old + sep + "." + sep, old + sep + "sub" + sep + ".."}) {
        std::filesystem::remove_all(sibling);
        channels.log.clear();
        EXPECT_TRUE(Run(spelling)) << spelling;
        EXPECT_EQ(ReadBytes(sibling / "a.ini"), "1100,HP,2,4,0,,,0,,,\n1102,MP,2,,0,,,0,,,\n") << spelling;
        EXPECT_EQ(channels.log.at(0), test::Sj(sibling.u8string()) + Sj(u8"フォルダを作成"));
        // Nothing was made inside the old folder or its sub-folder.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Native(u8"old")), {}), 3) << spelling;
        EXPECT_TRUE(std::filesystem::is_empty(dir.Native(u8"old/sub"))) << spelling;
    }
}

TEST_F(CreateDefinitions, JapaneseFolderAndTableNames) {
    // 表 and ソ end in the byte 0x5C, the backslash: it must never be taken for a separator.
    std::filesystem::create_directories(dir.Native(u8"旧定義"));
    WriteBytes(dir.Native(u8"旧定義/表.ini"), kTableIni);
    WriteBytes(dir.Native(u8"旧定義/表.idn"), kTableIdn);
    WriteBytes(dir.Native(u8"旧定義/ソート.ini"), "2000,HP,2,4,\r\n");
    WriteBytes(dir.Native(u8"旧定義/ソート.idn"), "x\r\n");
    WriteBinaries(Image(0x3000, {{0x1000, kTableBytes}, {0x2000, "\xA1\xB2\xC3\xD4"}}),
                  Image(0x3000, {{0x1000, kTableBytes}, {0x2010, "\xA1\xB2\xC3\xD4"}}));
    const std::string output = dir.Cp932(u8"旧定義_NEW");

    EXPECT_TRUE(Run(dir.Cp932(u8"旧定義")));

    EXPECT_EQ(channels.log.at(0), output + Sj(u8"フォルダを作成"));
    EXPECT_EQ(channels.log.at(2), Sj(u8"コピー成功: ") + JoinPath(output, Sj(u8"ソート.idn")) + "\n");
    EXPECT_EQ(channels.log.at(3), Sj(u8"コピー成功: ") + JoinPath(output, Sj(u8"表.idn")) + "\n");
    auto log = TableLog();
    ASSERT_EQ(log.size(), 15u);
    EXPECT_EQ(log[0], Sj(u8"ソート")); // ascending byte order: 0x83 0x5C before 0x95 0x5C
    EXPECT_EQ(log[5], Sj(u8"　") + JoinPath(output, Sj(u8"ソート.ini")) + Sj(u8"に出力"));
    EXPECT_EQ(log[7], Sj(u8"表"));
    EXPECT_EQ(log[13], Sj(u8"　") + JoinPath(output, Sj(u8"表.ini")) + Sj(u8"に出力"));
    EXPECT_EQ(ReadBytes(dir.Native(u8"旧定義_NEW/ソート.ini")), "2010,HP,2,4,\n");
    EXPECT_EQ(ReadBytes(dir.Native(u8"旧定義_NEW/表.ini")), kTableIni);
}

TEST_F(CreateDefinitions, DefinitionFilesThatFailAreReportedAndTheOthersStillWritten) {
    // Moved tables: a removed after loading (written from what was loaded), b fine, c with a line
    // without an address, d with a folder where an earlier run's output was: the new folder is built
    // aside, so the folder only goes to the backup with the rest.
    for (auto name : {u8"a", u8"b", u8"c", u8"d"}) {
        WriteTable(name);
    }
    WriteOld(u8"c.ini", kTableIni + ",broken,\r\n");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes}}));
    WriteBytes(dir.Native(u8"old_NEW/c.ini"), "from an earlier run");
    std::filesystem::create_directories(dir.Native(u8"old_NEW/d.ini/inside"));
    Load(dir.Cp932(u8"old"));
    std::filesystem::remove(dir.Native(u8"old/a.ini"));

    EXPECT_FALSE(engine.CreateDefinitions()) << "a file that could not be written fails the command";

    auto log = TableLog();
    const std::string shifting = Sj(u8"　アドレスを256ずつ書き換え");
    const std::vector<std::string> expected = {
        "a",
        Sj(u8"　ADDR: 00001000"),
        Sj(u8"　Size: 8"),
        Sj(u8"　00001100にデータ発見。"),
        Sj(u8"　") + OldFile("a.ini") + Sj(u8"は読み込んだ後に変更されています。読み込んだときの内容で書き出します"),
        shifting,
        Sj(u8"　") + OutputFile("a.ini") + Sj(u8"に出力"),
        "",
        "b",
        Sj(u8"　ADDR: 00001000"),
        Sj(u8"　Size: 8"),
        Sj(u8"　00001100にデータ発見。"),
        shifting,
        Sj(u8"　") + OutputFile("b.ini") + Sj(u8"に出力"),
        "",
        "c",
        Sj(u8"　ADDR: 00001000"),
        Sj(u8"　Size: 8"),
        Sj(u8"　00001100にデータ発見。"),
        shifting,
        Sj(u8"　") + OldFile("c.ini") + Sj(u8"の3行目のアドレス「」を変換できませんでした"),
        "",
        "d",
        Sj(u8"　ADDR: 00001000"),
        Sj(u8"　Size: 8"),
        Sj(u8"　00001100にデータ発見。"),
        shifting,
        Sj(u8"　") + OutputFile("d.ini") + Sj(u8"に出力"),
        "",
    };
    EXPECT_EQ(log, expected);
    EXPECT_EQ(ReadOutput(u8"a.ini"), "1100,HP,2,4,0,,,0,,,\n1102,MP,2,,0,,,0,,,\n");
    EXPECT_EQ(ReadOutput(u8"b.ini"), "1100,HP,2,4,0,,,0,,,\n1102,MP,2,,0,,,0,,,\n");
    // A file that failed is absent from the new folder, never partial nor an earlier run's.
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW/c.ini")));
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW.bak/c.ini")), "from an earlier run");
    for (const auto& entry : std::filesystem::directory_iterator(dir.Native(u8"old_NEW"))) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
    EXPECT_EQ(channels.questions.back(), kFinished);
    // A table whose file could not be written is an error, not a move, in the summary and in its record; one
    // written from what was loaded is a move.
    EXPECT_EQ(SummaryLog(), (std::vector<std::string>{
                                Sj(u8"移動 3　同アドレス 0　似たデータ 0　見つからず 0　エラー 1"), Sj(u8"要確認 0")}));
    EXPECT_EQ(channels.log.back(), Sj(u8"1個のファイルを書き込めませんでした"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Native(u8"old_NEW.bak/d.ini")));
    const auto& outcomes = engine.LastCreateOutcomes();
    ASSERT_EQ(outcomes.size(), 4u);
    for (const CreateTableRecord& outcome : outcomes) {
        const bool written = outcome.name != "c";
        EXPECT_EQ(outcome.outcome, written ? CreateOutcome::Moved : CreateOutcome::Error) << outcome.name;
        EXPECT_EQ(outcome.newAddress, std::optional<std::uint32_t>(0x1100)) << outcome.name;
    }
}

TEST_F(CreateDefinitions, SameAddressCopyThatFailsIsReported) {
    WriteTable(u8"a");
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1000, kTableBytes}}));
    // The new folder is built aside, so nothing in an earlier one can stand in the copy's way: the source
    // goes missing after loading instead.
    Load(dir.Cp932(u8"old"));
    std::filesystem::remove(dir.Native(u8"old/a.ini"));

    EXPECT_FALSE(engine.CreateDefinitions());

    auto log = TableLog();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[5], Sj(u8"　") + OldFile("a.ini") +
                          Sj(u8"は読み込んだ後に変更されたため、コピーしません。もう一度実行してください"));
    EXPECT_EQ(log[6], "");
    EXPECT_EQ(channels.log.back(), Sj(u8"1個のファイルを書き込めませんでした"));
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW/a.ini")));
}

TEST_F(CreateDefinitions, NameListsOfAnyLetterCaseAreCopiedAndAFolderIsAFailure) {
    WriteOld(u8"UPPER.IDN", "u\r\n");
    std::filesystem::create_directories(dir.Native(u8"old/sub.idn"));
    WriteOld(u8"upper.ini", kTableIni); // letter case differs from the name list only on Linux
    WriteBinaries(Image(0x2000, {}), Image(0x2000, {}));

    EXPECT_FALSE(Run()) << "the folder named like a name list is a copy that failed";

    const std::vector<std::string> copyLines(channels.log.begin() + 2, channels.log.begin() + 4);
    EXPECT_EQ(copyLines,
              (std::vector<std::string>{Sj(u8"コピー成功: ") + OutputFile("UPPER.IDN") + "\n",
                                        Sj(u8"コピー失敗: ") + OldFile("sub.idn") + Sj(u8"（フォルダです）") + "\n"}));
    EXPECT_EQ(ReadOutput(u8"UPPER.IDN"), "u\r\n");
    EXPECT_EQ(channels.log.at(4), "");
    EXPECT_EQ(channels.log.back(), Sj(u8"1個のファイルを書き込めませんでした"));
}

TEST_F(CreateDefinitions, DefinitionFileWithUpperCaseExtensionIsFound) {
    WriteOld(u8"T.INI", kTableIni);
    WriteOld(u8"T.idn", kTableIdn);
    WriteBinaries(Image(0x2000, {{0x1000, kTableBytes}}), Image(0x2000, {{0x1100, kTableBytes}}));

    EXPECT_TRUE(Run());

    EXPECT_EQ(ReadOutput(u8"T.ini"), "1100,HP,2,4,0,,,0,,,\n1102,MP,2,,0,,,0,,,\n");
}

TEST_F(CreateDefinitions, FolderWithoutDefinitionFilesGoesStraightToTheNotice) {
    WriteOld(u8"a.idn", kTableIdn);
    WriteBinaries(Image(16, {}), Image(16, {}));

    EXPECT_TRUE(Run());

    EXPECT_EQ(channels.log, (std::vector<std::string>{
                                Output() + Sj(u8"フォルダを作成"), Sj(u8"--- idnファイルの複製 ---"),
                                Sj(u8"コピー成功: ") + OutputFile("a.idn") + "\n", "",
                                Sj(u8"--- iniファイル作成開始 ---"), Sj(u8"--- 結果 ---"),
                                Sj(u8"移動 0　同アドレス 0　似たデータ 0　見つからず 0　エラー 0"), Sj(u8"要確認 0")}));
    EXPECT_EQ(channels.questions, (std::vector<std::string>{kCreateQuestion, kFinished}));
}

} // namespace
} // namespace dovra
