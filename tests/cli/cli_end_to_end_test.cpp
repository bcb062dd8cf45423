// The built dovra-updater-cli run as a process on temporary copies of examples/, with answers given by
// pipe or by --yes: exact standard output and standard error bytes, exit statuses, output files byte for
// byte. examples/README.md describes the sample these expectations come from.
#include <gtest/gtest.h>

#include "cli_process.h"
#include "engine/path_text.h"
#include "support/test_support.h"

namespace dovra::test {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(DOVRA_SOURCE_DIR) / "examples";
const std::string kSep(1, kPathSeparator);

std::string U8(std::u8string_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// The new binary with the given bytes replaced.
std::string Patched(std::string bytes, std::initializer_list<std::pair<std::size_t, char>> patches) {
    for (auto [offset, value] : patches) {
        bytes.at(offset) = value;
    }
    return bytes;
}

// What the create command writes for the sample: definition files shifted by 0x40 (items) and 0x10
// (characters) with LF line ends, the spells copied as they are, no enemies (their data changed).
const std::string kItemsShifted = Sj(u8"80,価格,4,6,0,,,0,,,\n"
                                     u8"81,,,,0,,,0,,,\n"
                                     u8"82,,,,0,,,0,,,\n"
                                     u8"83,,,,0,,,0,,,\n"
                                     u8"84,効果,1,,0,,,0,,,\n"
                                     u8"85,種類,1,,0,,,0,,,\n");
const std::string kCharactersShifted = Sj(u8"30,HP,2,8,0,,,0,,,\n"
                                          u8"31,,,,0,,,0,,,\n"
                                          u8"32,MP,2,,0,,,0,,,\n"
                                          u8"33,,,,0,,,0,,,\n"
                                          u8"34,攻撃力,1,,0,,,0,,,\n"
                                          u8"35,防御力,1,,0,,,0,,,\n"
                                          u8"36,素早さ,1,,0,,,0,,,\n"
                                          u8"37,運,1,,0,,,0,,,\n");

const std::string kCreateQuestion =
    "無改造の旧バイナリファイル, 新バイナリファイル, 旧Dovra定義ファイルを使って新Dovra定義ファイルを作成します [y/N] ";

std::string CreateLog(const std::string& oldFolder = "settings") {
    const std::string out = oldFolder + "_NEW";
    return out +
           "フォルダを作成\n"
           "--- idnファイルの複製 ---\n"
           "コピー成功: " +
           out + kSep + "アイテム.idn\n\n" + "コピー成功: " + out + kSep + "キャラクター.idn\n\n" +
           "コピー成功: " + out + kSep + "呪文.idn\n\n" + "コピー成功: " + out + kSep + "敵.idn\n\n" +
           "\n"
           "--- iniファイル作成開始 ---\n"
           "アイテム\n"
           "　ADDR: 00000040\n"
           "　Size: 24\n"
           "　00000080にデータ発見。\n"
           "　アドレスを64ずつ書き換え\n"
           "　" +
           out + kSep +
           "アイテム.iniに出力\n"
           "\n"
           "キャラクター\n"
           "　ADDR: 00000020\n"
           "　Size: 24\n"
           "　00000030にデータ発見。\n"
           "　アドレスを16ずつ書き換え\n"
           "　" +
           out + kSep +
           "キャラクター.iniに出力\n"
           "\n"
           "呪文\n"
           "　ADDR: 00000010\n"
           "　Size: 6\n"
           "　00000010にデータ発見。\n"
           "　同アドレスのため更新不要。ファイルをコピーします。\n"
           "　" +
           oldFolder + kSep + "呪文.iniをコピー\n" + "　" + out + kSep +
           "呪文.iniに出力\n"
           "\n"
           "敵\n"
           "　ADDR: 00000060\n"
           "　Size: 12\n"
           "　一致するデータが見つかりませんでした。\n"
           "\n"
           "--- 結果 ---\n"
           "移動 2　同アドレス 1　似たデータ 0　見つからず 1　エラー 0\n"
           "要確認 0\n";
}

// The rewrite's log blocks for the sample, with the item and the character questions answered as given.
std::string RewriteLog(bool items, bool characters, const std::string& closing) {
    std::string log = "アイテム\n"
                      "　ADDR:00000040 -> 00000080\n"
                      "　size:24 -> 24\n";
    if (items) {
        log += "　[00000080]:薬草\nの価格を書き換え 00000008 -> 00000001\n";
    }
    log += "\n"
           "キャラクター\n"
           "　ADDR:00000020 -> 00000030\n"
           "　size:24 -> 24\n";
    if (characters) {
        log += "　[00000030]:勇者\nのHPを書き換え 0064 -> 03E7\n"
               "　[0000003C]:魔法使い\nの攻撃力を書き換え 08 -> 14\n";
    }
    return log +
           "\n"
           "呪文\n"
           "　ADDR:00000010 -> 00000010\n"
           "　size:6 -> 6\n"
           "　新旧データ一致 \n"
           "\n"
           "敵\n"
           "　ADDR:00000060 -> 00000000\n"
           "　size:12 -> 0\n"
           "　更新後の敵.iniが存在しません。\n"
           "\n" +
           closing + "\n";
}

const std::string kItemsQuestion = "アイテムのデータに1/24 Byteの違いがあります。上書きしますか？ [y/N] ";
const std::string kCharactersQuestion = "キャラクターのデータに3/24 Byteの違いがあります。上書きしますか？ [y/N] ";
const std::string kOutputWritten = "新バイナリファイルをgame_v2.bin.newに出力しました";

class CliEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy(kExamples, m_work.Path(), fs::copy_options::recursive);
        fs::remove(m_work.Path() / "README.md");
    }

    const fs::path& Work() const { return m_work.Path(); }
    std::string Read(std::u8string_view relative) const { return ReadBytes(m_work.Native(relative)); }
    static std::string Example(std::u8string_view relative) { return ReadBytes(kExamples / relative); }

    // The new settings folder as the create command leaves it for the sample.
    void WriteNewSettings() const {
        for (auto name : {u8"アイテム.idn", u8"キャラクター.idn", u8"呪文.idn", u8"敵.idn", u8"呪文.ini"}) {
            WriteBytes(m_work.Native(std::u8string(u8"settings_NEW/") + name),
                       Example(std::u8string(u8"settings/") + name));
        }
        WriteBytes(m_work.Native(u8"settings_NEW/アイテム.ini"), kItemsShifted);
        WriteBytes(m_work.Native(u8"settings_NEW/キャラクター.ini"), kCharactersShifted);
    }

    // Every file the commands read is as it was.
    void ExpectInputsUntouched() const {
        for (const auto& entry : fs::recursive_directory_iterator(kExamples)) {
            if (entry.is_regular_file() && entry.path().filename() != "README.md") {
                auto relative = fs::relative(entry.path(), kExamples);
                EXPECT_EQ(ReadBytes(Work() / relative), ReadBytes(entry.path())) << relative;
            }
        }
    }

private:
    TempDir m_work;
};

TEST_F(CliEndToEnd, CreateWithYesWritesTheNewSettingsFolder) {
    CliRun run = RunCli(Work(), {"create", "settings", "game_v1.bin", "game_v2.bin", "--yes"}, "n\nn\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, CreateLog());
    EXPECT_EQ(run.err, kCreateQuestion + "y\n完了しました [y/N] y\n");

    EXPECT_EQ(Read(u8"settings_NEW/アイテム.ini"), kItemsShifted);
    EXPECT_EQ(Read(u8"settings_NEW/キャラクター.ini"), kCharactersShifted);
    EXPECT_EQ(Read(u8"settings_NEW/呪文.ini"), Example(u8"settings/呪文.ini")); // CR LF kept: copied
    EXPECT_FALSE(fs::exists(Work() / u8"settings_NEW/敵.ini"));
    for (auto name : {u8"アイテム.idn", u8"キャラクター.idn", u8"呪文.idn", u8"敵.idn"}) {
        EXPECT_EQ(Read(std::u8string(u8"settings_NEW/") + name), Example(std::u8string(u8"settings/") + name));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(Work() / "settings_NEW"), fs::directory_iterator()), 7);
    ExpectInputsUntouched();
}

// Bytes that occur once, so every table's neighbourhood can be told from any other place.
std::string Noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

TEST_F(CliEndToEnd, CreateWithYesAnswersBothQuestionsAboutDoubtfulPlaces) {
    // A at 0x4000 and B at 0x8000, 64 bytes each; the new binary has 0x100 bytes in front holding a copy of
    // A at 0x80, and two bytes of B changed.
    fs::create_directories(Work() / "doubt");
    for (const auto& [name, address] : {std::pair{"A", "4000"}, std::pair{"B", "8000"}}) {
        WriteBytes(Work() / "doubt" / (std::string(name) + ".ini"), std::string(address) + ",HP,4,8,0,,,0,,,\r\n");
        WriteBytes(Work() / "doubt" / (std::string(name) + ".idn"), "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n");
    }
    const std::string old = Noise(0x10000, 1);
    std::string updated = Noise(0x100, 2) + old;
    updated.replace(0x80, 64, old.substr(0x4000, 64));
    updated[0x8105] = static_cast<char>(updated[0x8105] ^ 0x5A);
    updated[0x8128] = static_cast<char>(updated[0x8128] ^ 0x3C);
    WriteBytes(Work() / "doubt_old.bin", old);
    WriteBytes(Work() / "doubt_new.bin", updated);

    CliRun run = RunCli(Work(), {"create", "doubt", "doubt_old.bin", "doubt_new.bin", "--yes"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, kCreateQuestion + "y\n" +
                           "1個のテーブルは同じデータが複数の場所にあり、最初の位置は前後のデータの移動と合いません。"
                           "前後のデータに合う位置を使いますか？ [y/N] y\n"
                           "1個のテーブルは完全に一致するデータがありませんが、似たデータが見つかりました。"
                           "その位置に合わせて定義ファイルを作成しますか？ [y/N] y\n"
                           "完了しました [y/N] y\n");
    EXPECT_NE(
        run.out.find("A\n　ADDR: 00004000\n　Size: 64\n　00004100にデータ発見。\n　※同じデータが2か所にあります。\n"),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("　一致するデータが見つかりませんでした。\n　00008100に似たデータがあります（一致率"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(
        run.out.ends_with("--- 結果 ---\n移動 1　同アドレス 0　似たデータ 1　見つからず 0　エラー 0\n要確認 1\n"))
        << run.out;
    EXPECT_EQ(Read(u8"doubt_NEW/A.ini"), "4100,HP,4,8,0,,,0,,,\n");
    EXPECT_EQ(Read(u8"doubt_NEW/B.ini"), "8100,HP,4,8,0,,,0,,,\n");
}

TEST_F(CliEndToEnd, CreateReadsPipedAnswersAndEchoesThem) {
    CliRun run = RunCli(Work(), {"create", "settings", "game_v1.bin", "game_v2.bin"}, "YES\r\nwhatever\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, CreateLog());
    EXPECT_EQ(run.err, kCreateQuestion + "y\n完了しました [y/N] n\n");
    EXPECT_EQ(Read(u8"settings_NEW/キャラクター.ini"), kCharactersShifted);
}

TEST_F(CliEndToEnd, DecliningOrEndOfInputCreatesNothingAndStillCompletes) {
    for (std::string_view input : {"n\n", "", "ja\n"}) {
        CliRun run = RunCli(Work(), {"create", "settings", "game_v1.bin", "game_v2.bin"}, input);
        EXPECT_EQ(run.exitStatus, 0) << input;
        EXPECT_EQ(run.out, "") << input;
        EXPECT_EQ(run.err, kCreateQuestion + "n\n") << input;
        EXPECT_FALSE(fs::exists(Work() / "settings_NEW")) << input;
    }
}

TEST_F(CliEndToEnd, TranscriptKeepsQuestionsAndLogInTheOrderTheyHappened) {
    CliRun run = RunCli(Work(), {"create", "settings", "game_v1.bin", "game_v2.bin"}, "y\ny\n", /*mergeStreams=*/true);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, kCreateQuestion + "y\n" + CreateLog() + "完了しました [y/N] y\n");
}

TEST_F(CliEndToEnd, JapanesePathsReachTheEngineExactly) {
    // 表 is 0x95 0x5C in code page 932: its second byte must not be taken for a separator.
    fs::create_directories(Work() / u8"表");
    fs::rename(Work() / "settings", Work() / u8"表/設定");
    fs::rename(Work() / "game_v2.bin", Work() / u8"表/新版.bin");
    CliRun run = RunCli(Work(), {"create", "表/設定", "game_v1.bin", "表/新版.bin", "--yes"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "表/設定_NEWフォルダを作成");
    EXPECT_EQ(Read(u8"表/設定_NEW/キャラクター.ini"), kCharactersShifted);
    EXPECT_EQ(Read(u8"表/設定_NEW/呪文.ini"), Example(u8"settings/呪文.ini"));
}

TEST_F(CliEndToEnd, RewriteWithYesCarriesEveryEditOver) {
    WriteNewSettings();
    CliRun run =
        RunCli(Work(), {"rewrite", "settings", "settings_NEW", "game_v1_edited.bin", "game_v2.bin", "--yes"}, "n\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, RewriteLog(true, true, kOutputWritten));
    EXPECT_EQ(run.err, kItemsQuestion + "y\n" + kCharactersQuestion + "y\n" + kOutputWritten + " [y/N] y\n");
    // The hero's HP (64 00 -> E7 03), the mage's attack (08 -> 14), the herb's price (08 -> 01).
    EXPECT_EQ(Read(u8"game_v2.bin.new"),
              Patched(Example(u8"game_v2.bin"), {{0x30, '\xE7'}, {0x31, '\x03'}, {0x3C, '\x14'}, {0x80, '\x01'}}));
    ExpectInputsUntouched();
}

TEST_F(CliEndToEnd, RewriteTakesEachPipedAnswerInTurn) {
    WriteNewSettings();
    // No to the items, yes to the characters, end of input at the closing notice.
    CliRun run = RunCli(Work(), {"rewrite", "settings", "settings_NEW", "game_v1_edited.bin", "game_v2.bin"}, "n\ny\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, RewriteLog(false, true, kOutputWritten));
    EXPECT_EQ(run.err, kItemsQuestion + "n\n" + kCharactersQuestion + "y\n" + kOutputWritten + " [y/N] n\n");
    EXPECT_EQ(Read(u8"game_v2.bin.new"),
              Patched(Example(u8"game_v2.bin"), {{0x30, '\xE7'}, {0x31, '\x03'}, {0x3C, '\x14'}}));
}

TEST_F(CliEndToEnd, RewriteWithBaseCarriesOnlyTheUsersEditsAndSumsThemUp) {
    WriteNewSettings();
    // The sample's update left the edited fields alone, so the same fields are carried; the spells, which
    // the user never edited, ask nothing, and the questions count the user's own changes.
    CliRun run = RunCli(Work(), {"rewrite", "settings", "settings_NEW", "game_v1_edited.bin", "game_v2.bin", "--base",
                                 "game_v1.bin", "--yes"});
    EXPECT_EQ(run.exitStatus, 0);
    std::string log = RewriteLog(true, true, "");
    log.replace(log.find("　新旧データ一致 "), std::string_view("　新旧データ一致 ").size(), "　変更なし");
    log.replace(
        log.rfind('\n'), 1,
        "自分の変更を書き写したテーブル: 2、書き換えた項目: 3、競合: 0、スキップしたテーブル: 1（うちエラー: 1）\n" +
            kOutputWritten + "\n");
    EXPECT_EQ(run.out, log);
    EXPECT_EQ(run.err, "アイテムのデータに、自分で変更した部分が1/24 Byteあります。書き写しますか？ [y/N] y\n"
                       "キャラクターのデータに、自分で変更した部分が3/24 Byteあります。書き写しますか？ [y/N] y\n" +
                           kOutputWritten + " [y/N] y\n");
    EXPECT_EQ(Read(u8"game_v2.bin.new"),
              Patched(Example(u8"game_v2.bin"), {{0x30, '\xE7'}, {0x31, '\x03'}, {0x3C, '\x14'}, {0x80, '\x01'}}));
    ExpectInputsUntouched();
}

TEST_F(CliEndToEnd, ABaseThatDoesNotLoadOrIsNotTheOldBinaryStopsWithStatus1) {
    WriteNewSettings();
    WriteBytes(Work() / "other.bin", std::string(256, '\x5A'));
    const std::string checkFile = "無改造の旧バイナリファイルとして正しいファイルを選んでいるか確かめてください。\n";
    const std::string loadFailed = "無改造の旧バイナリファイルの読み込みに失敗しました\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"missing.bin", "ファイルを開けませんでした。（見つかりません）\n" + loadFailed},
        {"other.bin", "無改造の旧バイナリファイルが旧バイナリファイルと大きく違います（4個のテーブルのうち4個でデータの"
                      "半分を超える部分が違います）。" +
                          checkFile + loadFailed},
    };
    for (const auto& [base, err] : cases) {
        CliRun run = RunCli(Work(), {"rewrite", "settings", "settings_NEW", "game_v1_edited.bin", "game_v2.bin",
                                     "--base", base, "--yes"});
        EXPECT_EQ(run.exitStatus, 1) << base;
        EXPECT_EQ(run.out, "") << base;
        EXPECT_EQ(run.err, err) << base;
    }
    EXPECT_FALSE(fs::exists(Work() / "game_v2.bin.new"));
}

TEST_F(CliEndToEnd, ALogLineKeepsItsOwnLineEnd) {
    WriteNewSettings();
    // An old binary that ends inside the enemies' table: the range error text carries its own CR LF.
    WriteBytes(Work() / "short.bin", Example(u8"game_v1_edited.bin").substr(0, 0x64));
    CliRun run = RunCli(Work(), {"rewrite", "settings", "settings_NEW", "short.bin", "game_v2.bin", "--yes"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.out.find("敵\n"
                           "　ADDR:00000060 -> 00000000\n"
                           "　size:12 -> 0\n"
                           "　エラー: アドレスがファイルサイズを超えます。\r\n"
                           "\n" +
                           kOutputWritten + "\n"),
              std::string::npos)
        << run.out;
}

TEST_F(CliEndToEnd, SettingsFolderMessagesGoToStandardError) {
    WriteNewSettings();
    WriteBytes(Work() / u8"settings_NEW/孤立.ini", Sj(u8"00000090,値,1,1,0,,,0,,,\r\n")); // no name list
    CliRun run = RunCli(Work(), {"rewrite", "settings", "settings_NEW", "game_v1_edited.bin", "game_v2.bin", "--yes"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, RewriteLog(true, true, kOutputWritten));
    EXPECT_EQ(run.err, "IDNファイルを開けませんでした。（見つかりません）\n"
                       "settings_NEW" +
                           kSep + "孤立.iniの解析に失敗しました\n" + kItemsQuestion + "y\n" + kCharactersQuestion +
                           "y\n" + kOutputWritten + " [y/N] y\n");
}

TEST_F(CliEndToEnd, AFolderOrBinaryThatDoesNotLoadStopsTheCommandWithStatus1) {
    struct Case {
        std::vector<std::string> arguments;
        std::string err;
    };
    WriteBytes(Work() / "empty.bin", "");
    const std::vector<Case> cases = {
        {{"create", "settings", "missing.bin", "game_v2.bin"},
         "ファイルを開けませんでした。（見つかりません）\n旧バイナリファイルの読み込みに失敗しました\n"},
        {{"create", "settings", "game_v1.bin", "empty.bin", "--yes"},
         "ファイルサイズが0です。\n新バイナリファイルの読み込みに失敗しました\n"},
        // A folder is not a binary file; an empty path is one that cannot be opened.
        {{"rewrite", "settings", "settings", "settings", "game_v2.bin", "--yes"},
         "ファイルを開けませんでした。（フォルダです）\n旧バイナリファイルの読み込みに失敗しました\n"},
        {{"rewrite", "settings", "settings", "game_v1.bin", "", "--yes"},
         "ファイルを開けませんでした。（見つかりません）\n新バイナリファイルの読み込みに失敗しました\n"},
        // A settings folder that is not there (a typo, a file) is named; nothing is made for it.
        {{"create", "settigns", "game_v1.bin", "game_v2.bin", "--yes"}, "settignsフォルダが見つかりません\n"},
        {{"rewrite", "settings", "game_v1.bin", "game_v1.bin", "game_v2.bin", "--yes"},
         "game_v1.binフォルダが見つかりません\n"},
    };
    for (const auto& c : cases) {
        CliRun run = RunCli(Work(), c.arguments, "y\ny\ny\n");
        EXPECT_EQ(run.exitStatus, 1) << c.arguments[2];
        EXPECT_EQ(run.out, "") << c.arguments[2];
        EXPECT_EQ(run.err, c.err) << c.arguments[2];
    }
    EXPECT_FALSE(fs::exists(Work() / "settings_NEW"));
    EXPECT_FALSE(fs::exists(Work() / "settigns_NEW"));
    EXPECT_FALSE(fs::exists(Work() / "game_v2.bin.new"));
    EXPECT_FALSE(fs::exists(Work() / ".new"));
}

#ifndef _WIN32
// Runs `shell` (sh) in the work folder with "$CLI" set to the program; gives the status the script
// leaves in the file "status".
int RunRawShell(const fs::path& work, const std::string& shell) {
    const std::string command = "cd '" + work.string() + "' && CLI='" + DOVRA_CLI_PATH + "' sh -c '" + shell + "'";
    std::system(command.c_str());
    try {
        return std::stoi(ReadBytes(work / "status"));
    } catch (const std::exception&) {
        return -1;
    }
}

TEST_F(CliEndToEnd, ALogThatCannotBeWrittenEndsWithStatus4AndWholeOutputs) {
    // A full disk, a closed standard output or error, a reader that quit before the log came (SIGPIPE
    // left as the shell sets it). The command runs to its end: every output complete, status 4.
    const std::string create = "\"$CLI\" create settings game_v1.bin game_v2.bin --yes";
    const std::vector<std::string> scripts = {
        create + " >/dev/full 2>err; echo $? >status",
        create + " >&- 2>err; echo $? >status",
        create + " >out 2>&-; echo $? >status",
        "(sleep 0.3; " + create + " 2>err; echo $? >status) | true",
    };
    for (const auto& script : scripts) {
        fs::remove_all(Work() / "settings_NEW");
        EXPECT_EQ(RunRawShell(Work(), script), 4) << script;
        EXPECT_EQ(Read(u8"settings_NEW/アイテム.ini"), kItemsShifted) << script;
        EXPECT_EQ(Read(u8"settings_NEW/キャラクター.ini"), kCharactersShifted) << script;
        EXPECT_EQ(Read(u8"settings_NEW/呪文.ini"), Example(u8"settings/呪文.ini")) << script;
        EXPECT_EQ(std::distance(fs::directory_iterator(Work() / "settings_NEW"), fs::directory_iterator()), 7)
            << script;
        if (script.find("2>err") != std::string::npos) {
            EXPECT_NE(Read(u8"err").find("ログまたはメッセージの一部を書き込めませんでした"), std::string::npos)
                << script;
        }
    }
    ExpectInputsUntouched();
    // Help and version to a full disk: the same status.
    EXPECT_EQ(RunRawShell(Work(), "\"$CLI\" --help >/dev/full; echo $? >status"), 4);
}

TEST_F(CliEndToEnd, AnEndlessAnswerLineIsNo) {
    // Standard input from /dev/zero: one answer line without end. Read up to a bound, then no.
    EXPECT_EQ(
        RunRawShell(Work(), "\"$CLI\" create settings game_v1.bin game_v2.bin </dev/zero >out 2>err; echo $? >status"),
        0);
    EXPECT_EQ(Read(u8"err"), kCreateQuestion + "n\n");
    EXPECT_FALSE(fs::exists(Work() / "settings_NEW"));
}
#endif

TEST_F(CliEndToEnd, UsageErrorsExitWith2AndTouchNothing) {
    const std::string usage =
        "使い方 / usage:\n"
        "  dovra-updater-cli create  OLD_SETTINGS_DIR OLD_BINARY NEW_BINARY [--report FILE.json] "
        "[--yes]\n"
        "  dovra-updater-cli rewrite OLD_SETTINGS_DIR NEW_SETTINGS_DIR OLD_BINARY NEW_BINARY\n"
        "                            [--base UNMODIFIED_OLD_BINARY] [--report FILE.json] [--yes]\n"
        "  dovra-updater-cli --help | --version\n"
        "詳しくは dovra-updater-cli --help / see dovra-updater-cli --help\n";
    CliRun none = RunCli(Work(), {});
    EXPECT_EQ(none.exitStatus, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "dovra-updater-cli: コマンドがありません / no command given\n" + usage);

    CliRun count = RunCli(Work(), {"rewrite", "settings", "game_v1.bin", "game_v2.bin", "--yes"});
    EXPECT_EQ(count.exitStatus, 2);
    EXPECT_EQ(count.err,
              "dovra-updater-cli: rewriteにはパスが4個必要です (3個指定) / rewrite takes 4 paths, 3 given\n" + usage);

    CliRun option = RunCli(Work(), {"create", "settings", "game_v1.bin", "game_v2.bin", "--force"});
    EXPECT_EQ(option.exitStatus, 2);
    EXPECT_EQ(option.err, "dovra-updater-cli: 不明なオプションです: --force / unknown option\n" + usage);

    // A path without an exact code page 932 form would name another file: refused before anything loads.
    for (std::string path : {U8(u8"café"), U8(u8"〜")}) {
        CliRun refused = RunCli(Work(), {"create", "settings", "game_v1.bin", path, "--yes"});
        EXPECT_EQ(refused.exitStatus, 2) << path;
        EXPECT_EQ(refused.out, "") << path;
        EXPECT_EQ(refused.err, "dovra-updater-cli: パスをコードページ932 (Shift_JIS) で正確に表せません: " + path +
                                   " / the path has no exact code page 932 form\n");
    }
    EXPECT_FALSE(fs::exists(Work() / "settings_NEW"));
}

TEST_F(CliEndToEnd, AnOutputThatCannotBeWrittenExitsWith3) {
    // A folder standing where the rewrite's output file would go.
    WriteNewSettings();
    fs::create_directory(Work() / "game_v2.bin.new");
    CliRun rewrite =
        RunCli(Work(), {"rewrite", "settings", "settings_NEW", "game_v1_edited.bin", "game_v2.bin", "--yes"});
    const std::string failed = "新バイナリファイルの出力に失敗しました: game_v2.bin.new（フォルダです）";
    EXPECT_EQ(rewrite.exitStatus, 3);
    EXPECT_EQ(rewrite.out, RewriteLog(true, true, failed));
    EXPECT_EQ(rewrite.err, kItemsQuestion + "y\n" + kCharactersQuestion + "y\n" + failed + " [y/N] y\n");
    EXPECT_TRUE(fs::is_directory(Work() / "game_v2.bin.new"));

    // A file standing where the create command's output folder would go.
    WriteBytes(Work() / "other_NEW", "not a folder");
    fs::create_directory(Work() / "other");
    // File by file: MinGW's fs::copy of a folder refuses an existing destination ("file exists").
    for (const auto& entry : fs::directory_iterator(Work() / "settings")) {
        fs::copy_file(entry.path(), Work() / "other" / entry.path().filename());
    }
    CliRun create = RunCli(Work(), {"create", "other", "game_v1.bin", "game_v2.bin", "--yes"});
    EXPECT_EQ(create.exitStatus, 3);
    EXPECT_EQ(create.out, "other_NEWフォルダを作成できませんでした（同じ名前のファイルがあります）\n");
    EXPECT_EQ(create.err, kCreateQuestion + "y\n");
    EXPECT_EQ(Read(u8"other_NEW"), "not a folder");
}

TEST_F(CliEndToEnd, HelpAndVersionGoToStandardOutput) {
    CliRun version = RunCli(Work(), {"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "dovra-updater-cli 1.0\n");
    EXPECT_EQ(version.err, "");

    CliRun help = RunCli(Work(), {"create", "--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out.rfind("使い方 / usage:\n", 0), 0u);
    EXPECT_NE(help.out.find("  3  出力を書き込めませんでした"), std::string::npos);
    EXPECT_NE(help.out.find("--base UNMODIFIED_OLD_BINARY\n"), std::string::npos);
    EXPECT_EQ(help.err, "");
    EXPECT_FALSE(fs::exists(Work() / "settings_NEW"));
}

} // namespace
} // namespace dovra::test
