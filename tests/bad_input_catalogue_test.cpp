// The catalogue of bad inputs: one row per kind of input a user may hand the tool (binaries that cannot be
// read, settings folders that are not folders, broken definition files and name lists, tables that do not
// fit their binaries), each run through a command the way the dialog drives it, with what the user must
// see (every message box, the command's log lines and questions) and what must and must not be on disk
// afterwards. Every row also checks that the inputs were left exactly as they were. docs/robustness.md
// lists the rows in words.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "engine/definition_updater.h"
#include "engine/message_box.h"
#include "engine/path_text.h"
#include "engine/texts.h"
#include "support/test_support.h"

namespace dovra::test {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

enum class Command { kCreate, kRewrite };

// The inputs every row starts from: table "a" (two 4-byte records, HP and MP) at 0x10 in the old binary
// and at 0x20 in the new one, described by both settings folders. Untouched, create shifts the definitions
// by 16 and rewrite finds the data equal.
const std::string kTableBytes = "\x11\x22\x33\x44\x55\x66\x77\x88";
const std::string kOldIni = "10,HP,2,4,0,,,0,,,\r\n12,MP,2,,0,,,0,,,\r\n";
const std::string kNewIni = "20,HP,2,4,0,,,0,,,\r\n22,MP,2,,0,,,0,,,\r\n";
const std::string kIdn = "Alice\r\nBob\r\n";

std::string Image(std::size_t size, std::size_t offset, std::string_view bytes) {
    std::string image(size, '\0');
    image.replace(offset, bytes.size(), bytes);
    return image;
}

struct Scene {
    Scene() {
        Write(u8"old/a.ini", kOldIni);
        Write(u8"old/a.idn", kIdn);
        Write(u8"new/a.ini", kNewIni);
        Write(u8"new/a.idn", kIdn);
        Write(u8"old.bin", Image(0x40, 0x10, kTableBytes));
        Write(u8"new.bin", Image(0x40, 0x20, kTableBytes));
    }
    void Write(std::u8string_view relative, std::string_view bytes) const { WriteBytes(dir.Native(relative), bytes); }
    std::string Read(std::u8string_view relative) const { return ReadBytes(dir.Native(relative)); }
    void ReplaceWithFolder(std::u8string_view relative) const {
        std::filesystem::remove_all(dir.Native(relative));
        std::filesystem::create_directory(dir.Native(relative));
    }
    void ReplaceWithFile(std::u8string_view relative) const {
        std::filesystem::remove_all(dir.Native(relative));
        Write(relative, "not a folder\n");
    }
    // A named pipe without a writer: opening it for reading would wait for one forever.
    void ReplaceWithNamedPipe(std::u8string_view relative) {
        std::filesystem::remove_all(dir.Native(relative));
#ifdef _WIN32
        unavailable = "no named pipes in the file system here";
#else
        if (mkfifo(dir.Native(relative).c_str(), 0644) != 0) {
            unavailable = std::string("cannot make a named pipe here: ") + std::strerror(errno);
        }
#endif
    }
    std::string Path(std::u8string_view relative) const {
        return dir.Cp932(relative);
    }

    TempDir dir;
    // The four path fields, as the engine receives them.
    std::string oldFolder = Path(u8"old");
    std::string newFolder = Path(u8"new");
    std::string oldBinary = Path(u8"old.bin");
    std::string newBinary = Path(u8"new.bin");
    std::optional<std::string> unavailable;
};

// What must hold after the command. `messages` is every message box in order; `log` and `questions` are
// lines that must appear in this order (the whole log when `wholeLog` is set).
struct Outcome {
    Lines messages{};
    Lines log{};
    bool wholeLog = false;
    Lines questions{};
    std::vector<std::u8string> present{};
    std::vector<std::u8string> absent{};
    std::map<std::u8string, std::string> files{}; // exact bytes
};

struct Row {
    const char* name;
    Command command;
    // Turns the standard inputs into the row's bad input (or says in `unavailable` why it cannot here).
    std::function<void(Scene&)> arrange;
    std::function<Outcome(const Scene&)> expect;
    // Run the command as a user whom permissions bind (root reads every file).
    bool unprivileged = false;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

// The texts the user sees, as the tool's own developer would spell them out.
const std::string kCannotOpen = Sj(u8"ファイルを開けませんでした。");
// The same with the reason the system gave.
const std::string kCannotOpenMissing = kCannotOpen + Sj(u8"（見つかりません）");
const std::string kCannotOpenFolder = kCannotOpen + Sj(u8"（フォルダです）");
const std::string kCannotOpenDenied = kCannotOpen + Sj(u8"（アクセスが拒否されました）");
const std::string kSizeZero = Sj(u8"ファイルサイズが0です。");
const std::string kTooLarge = Sj(u8"ファイルサイズが大きすぎます。");
const std::string kOldFailed = Sj(u8"旧バイナリファイルの読み込みに失敗しました");
const std::string kNewFailed = Sj(u8"新バイナリファイルの読み込みに失敗しました");
const std::string kNameListFailed = Sj(u8"IDNファイルを開けませんでした。");
const std::string kBeyondFile = Sj(u8"　エラー: アドレスがファイルサイズを超えます。");
const std::string kNotFound = Sj(u8"　一致するデータが見つかりませんでした。");
const std::string kMissingA = Sj(u8"　更新後のa.iniが存在しません。");
const std::string kMatch = Sj(u8"　新旧データ一致 ");

std::string ParseFailed(const std::string& path) {
    return path + Sj(u8"の解析に失敗しました");
}
std::string FolderNotFound(const std::string& folder) {
    return folder + Sj(u8"フォルダが見つかりません");
}
std::string OutputNotice(const Scene& s) {
    return Sj(u8"新バイナリファイルを") + s.newBinary + ".new" + Sj(u8"に出力しました");
}
std::string CopySucceeded(const Scene& s, std::string_view name) {
    return Sj(u8"コピー成功: ") + JoinPath(s.Path(u8"old_NEW"), name) + "\n";
}
// The create log when the old folder yields no table: the folder, the name lists, the empty table stage
// and a summary that counts nothing.
Lines CreateLogWithoutTables(const Scene& s, const Lines& copies) {
    Lines log = {s.Path(u8"old_NEW") + Sj(u8"フォルダを作成"), Sj(u8"--- idnファイルの複製 ---")};
    log.insert(log.end(), copies.begin(), copies.end());
    log.insert(log.end(), {"", Sj(u8"--- iniファイル作成開始 ---"), Sj(u8"--- 結果 ---"),
                           Sj(u8"移動 0　同アドレス 0　似たデータ 0　見つからず 0　エラー 0"), Sj(u8"要確認 0")});
    return log;
}
std::string NameLines(std::size_t count) {
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        text += "n\r\n";
    }
    return text;
}

const Row kRows[] = {
    // Binary files.
    {"EmptyOldBinaryPath", Command::kRewrite, [](Scene& s) { s.oldBinary = ""; },
     [](const Scene&) {
         return Outcome{.messages = {kCannotOpenMissing, kOldFailed}, .wholeLog = true, .absent = {u8"new.bin.new"}};
     }},
    {"FolderAsNewBinary", Command::kCreate, [](Scene& s) { s.ReplaceWithFolder(u8"new.bin"); },
     [](const Scene&) {
         return Outcome{.messages = {kCannotOpenFolder, kNewFailed}, .wholeLog = true, .absent = {u8"old_NEW"}};
     }},
    {"MissingNewBinary", Command::kRewrite, [](Scene& s) { s.newBinary = s.Path(u8"gone.bin"); },
     [](const Scene&) {
         return Outcome{.messages = {kCannotOpenMissing, kNewFailed}, .wholeLog = true, .absent = {u8"gone.bin.new"}};
     }},
    {"ZeroByteOldBinary", Command::kCreate, [](Scene& s) { s.Write(u8"old.bin", ""); },
     [](const Scene&) {
         return Outcome{.messages = {kSizeZero, kOldFailed}, .wholeLog = true, .absent = {u8"old_NEW"}};
     }},
    {"SparseNewBinaryOver4GiB", Command::kRewrite,
     [](Scene& s) {
#ifdef _WIN32
         s.unavailable = "a file only grows sparse on Windows when marked so";
#else
         std::error_code error;
         std::filesystem::resize_file(s.dir.Native(u8"new.bin"), (std::uint64_t{1} << 32) + 16, error);
         if (error) {
             s.unavailable = "no sparse file here: " + error.message();
         }
#endif
     },
     [](const Scene&) {
         return Outcome{.messages = {kTooLarge, kNewFailed}, .wholeLog = true, .absent = {u8"new.bin.new"}};
     }},
    {"UnreadableOldBinary", Command::kCreate,
     [](Scene& s) { std::filesystem::permissions(s.dir.Native(u8"old.bin"), std::filesystem::perms::none); },
     [](const Scene&) {
         return Outcome{.messages = {kCannotOpenDenied, kOldFailed}, .wholeLog = true, .absent = {u8"old_NEW"}};
     },
     true},

    {"NamedPipeAsOldBinary", Command::kRewrite, [](Scene& s) { s.ReplaceWithNamedPipe(u8"old.bin"); },
     [](const Scene&) {
         return Outcome{.messages = {kCannotOpen, kOldFailed}, .wholeLog = true, .absent = {u8"new.bin.new"}};
     }},

    // Settings folders.
    // A folder that is not there (a typo, a file) stops the click with a message naming it: never an empty
    // "_NEW" folder, never an unchanged copy announced as written.
    {"OldSettingsFolderIsAFile", Command::kCreate, [](Scene& s) { s.ReplaceWithFile(u8"old"); },
     [](const Scene& s) {
         return Outcome{.messages = {FolderNotFound(s.oldFolder)}, .wholeLog = true, .absent = {u8"old_NEW"}};
     }},
    {"MissingOldSettingsFolder", Command::kCreate, [](Scene& s) { s.oldFolder = s.Path(u8"typo"); },
     [](const Scene& s) {
         return Outcome{.messages = {FolderNotFound(s.oldFolder)}, .wholeLog = true, .absent = {u8"typo_NEW"}};
     }},
    {"MissingOldSettingsFolderForRewrite", Command::kRewrite, [](Scene& s) { s.oldFolder = s.Path(u8"typo"); },
     [](const Scene& s) {
         return Outcome{.messages = {FolderNotFound(s.oldFolder)}, .wholeLog = true, .absent = {u8"new.bin.new"}};
     }},
    {"NewSettingsFolderIsAFile", Command::kRewrite, [](Scene& s) { s.ReplaceWithFile(u8"new"); },
     [](const Scene& s) {
         return Outcome{.messages = {FolderNotFound(s.newFolder)}, .wholeLog = true, .absent = {u8"new.bin.new"}};
     }},
    {"MissingNewSettingsFolder", Command::kRewrite, [](Scene& s) { s.newFolder = s.Path(u8"typo"); },
     [](const Scene& s) {
         return Outcome{.messages = {FolderNotFound(s.newFolder)}, .wholeLog = true, .absent = {u8"new.bin.new"}};
     }},
    // "." and ".." name the folder itself or its parent: the output goes beside the folder they name.
    {"OldSettingsFolderGivenAsDot", Command::kCreate, [](Scene& s) { s.oldFolder = s.Path(u8"old/."); },
     [](const Scene&) {
         return Outcome{.log = {Sj(u8"　アドレスを16ずつ書き換え")},
                        .present = {u8"old_NEW/a.ini", u8"old_NEW/a.idn"},
                        .absent = {u8"old/._NEW"}};
     }},
    // A name the file system cannot hold says so with the failure.
    {"OutputFolderNameTooLong", Command::kCreate,
     [](Scene& s) {
#ifdef _WIN32
         s.unavailable = "Windows limits the whole path, which the fixture's own files would pass first";
#else
         // 252 bytes is a name the old folder may have; with "_NEW" it is past the usual 255.
         const std::u8string name(252, u8'o');
         s.Write(name + u8"/a.ini", kOldIni);
         s.Write(name + u8"/a.idn", kIdn);
         s.oldFolder = s.Path(name);
#endif
     },
     [](const Scene& s) {
         return Outcome{.log = {s.oldFolder + Sj(u8"_NEWフォルダを作成できませんでした（名前が長すぎます）")},
                        .wholeLog = true};
     }},
    {"FileNameWithoutCodePage932Form", Command::kCreate,
     [](Scene& s) {
         s.Write(u8"old/é.ini", kOldIni);
         s.Write(u8"old/é.idn", kIdn);
     },
     [](const Scene& s) {
         const std::string cannotName = Sj(u8"はファイル名をShift_JISで表せないため読み込みません。");
         return Outcome{.messages = {s.oldFolder + Sj(u8"の「?.ini」") + cannotName,
                                     s.oldFolder + Sj(u8"の「?.idn」") + cannotName},
                        .log = {CopySucceeded(s, "a.idn"), "a", Sj(u8"　アドレスを16ずつ書き換え")},
                        .present = {u8"old_NEW/a.ini"},
                        .absent = {u8"old_NEW/é.ini", u8"old_NEW/é.idn"}};
     }},
    {"FoldersNamedLikeSettingsFiles", Command::kCreate,
     [](Scene& s) {
         std::filesystem::create_directories(s.dir.Native(u8"old/b.ini"));
         std::filesystem::create_directories(s.dir.Native(u8"old/c.idn"));
     },
     [](const Scene& s) {
         return Outcome{.log = {CopySucceeded(s, "a.idn"),
                                Sj(u8"コピー失敗: ") + JoinPath(s.oldFolder, "c.idn") + Sj(u8"（フォルダです）") + "\n",
                                "", Sj(u8"--- iniファイル作成開始 ---"), "a"},
                        .present = {u8"old_NEW/a.ini"},
                        .absent = {u8"old_NEW/b.ini", u8"old_NEW/c.idn"}};
     }},
    {"UnreadableNameList", Command::kRewrite,
     [](Scene& s) { std::filesystem::permissions(s.dir.Native(u8"new/a.idn"), std::filesystem::perms::none); },
     [](const Scene& s) {
         return Outcome{.messages = {kNameListFailed + Sj(u8"（アクセスが拒否されました）"),
                                     ParseFailed(JoinPath(s.newFolder, "a.ini"))},
                        .log = {kMissingA, "", OutputNotice(s)},
                        .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     },
     true},
    {"UnreadableDefinitionFile", Command::kCreate,
     [](Scene& s) { std::filesystem::permissions(s.dir.Native(u8"old/a.ini"), std::filesystem::perms::none); },
     [](const Scene& s) {
         // The old set keeps an unopenable definition file as the empty table under the empty name.
         return Outcome{.log = {CopySucceeded(s, "a.idn"), "", Sj(u8"--- iniファイル作成開始 ---"), "",
                                Sj(u8"　ADDR: 00000000"), Sj(u8"　Size: 0"),
                                Sj(u8"　テーブルサイズが0のため検索できません。"), ""},
                        .wholeLog = false,
                        .absent = {u8"old_NEW/a.ini", u8"old_NEW/.ini"}};
     },
     true},

    {"NamedPipeAsNameList", Command::kCreate, [](Scene& s) { s.ReplaceWithNamedPipe(u8"old/a.idn"); },
     [](const Scene& s) {
         return Outcome{.messages = {kNameListFailed},
                        .log = {Sj(u8"コピー失敗: ") + JoinPath(s.oldFolder, "a.idn") + "\n", "a", Sj(u8"　Size: 0"),
                                Sj(u8"　テーブルサイズが0のため検索できません。")},
                        .absent = {u8"old_NEW/a.idn", u8"old_NEW/a.ini"}};
     }},

    // Definition files.
    // No line with a comma describes no table: refused by both loaders, never a 1-byte table at 0.
    {"DefinitionLinesWithoutAComma", Command::kRewrite,
     [](Scene& s) { s.Write(u8"new/a.ini", "20 HP 2 4\r\n22 MP 2\r\n"); },
     [](const Scene& s) {
         return Outcome{.messages = {ParseFailed(JoinPath(s.newFolder, "a.ini"))},
                        .log = {kMissingA, "", OutputNotice(s)},
                        .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     }},
    {"DefinitionOfLineEndsOnly", Command::kCreate, [](Scene& s) { s.Write(u8"old/a.ini", "\r\n\r\n\n"); },
     [](const Scene& s) {
         return Outcome{.messages = {ParseFailed(JoinPath(s.oldFolder, "a.ini"))},
                        .log = CreateLogWithoutTables(s, {CopySucceeded(s, "a.idn")}),
                        .wholeLog = true,
                        .absent = {u8"old_NEW/a.ini"}};
     }},
    {"DefinitionSavedAsUtf16", Command::kCreate,
     [](Scene& s) {
         std::string utf16 = "\xFF\xFE";
         for (char c : kOldIni) {
             utf16 += {c, '\0'};
         }
         s.Write(u8"old/a.ini", utf16);
     },
     [](const Scene& s) {
         const std::string path = JoinPath(s.oldFolder, "a.ini");
         return Outcome{.messages = {path + Sj(u8"はUTF-16で保存されています。Shift_JISで保存し直してください"),
                                     ParseFailed(path)},
                        .log = CreateLogWithoutTables(s, {CopySucceeded(s, "a.idn")}),
                        .wholeLog = true,
                        .absent = {u8"old_NEW/a.ini"}};
     }},
    {"DefinitionWithAUtf8ByteOrderMark", Command::kRewrite,
     [](Scene& s) { s.Write(u8"new/a.ini", "\xEF\xBB\xBF" + kNewIni); },
     [](const Scene& s) {
         const std::string path = JoinPath(s.newFolder, "a.ini");
         return Outcome{.messages = {path + Sj(u8"はUTF-8のBOM付きで保存されています。Shift_JISで保存し直してください"),
                                     ParseFailed(path)},
                        .log = {kMissingA, "", OutputNotice(s)},
                        .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     }},
    {"ColumnOf2000Bytes", Command::kCreate,
     [](Scene& s) {
         // Read in pieces of 1023 bytes: the second piece begins inside the column and has no address.
         s.Write(u8"old/a.ini", "10,HP,2,4,0,,,0,,,\r\n12," + std::string(2000, 'N') + ",2,,\r\n");
     },
     [](const Scene& s) {
         return Outcome{.messages = {ParseFailed(JoinPath(s.oldFolder, "a.ini"))},
                        .log = CreateLogWithoutTables(s, {CopySucceeded(s, "a.idn")}),
                        .wholeLog = true,
                        .absent = {u8"old_NEW/a.ini"}};
     }},
    {"LineOf1100BytesWhenShifting", Command::kCreate,
     [](Scene& s) {
         // A comment of 1100 bytes after the tenth column: the line is read in two pieces, the second
         // without a comma. The moved file keeps it, line end and all, and the next line stays its own.
         s.Write(u8"old/a.ini", "10,HP,2,4,0,,,0,,," + std::string(1100, 'c') + "\r\n12,MP,2,,0,,,0,,,\r\n");
     },
     [](const Scene& s) {
         return Outcome{
             .log = {Sj(u8"　アドレスを16ずつ書き換え"),
                     Sj(u8"　") + JoinPath(s.Path(u8"old_NEW"), "a.ini") + Sj(u8"に出力")},
             .files = {{u8"old_NEW/a.ini", "20,HP,2,4,0,,,0,,," + std::string(1100, 'c') + "\n22,MP,2,,0,,,0,,,\n"}}};
     }},
    {"NulBytesInADefinitionLine", Command::kRewrite,
     [](Scene& s) {
         // The NUL ends the first line's parse after its address: no width, so 1-byte records.
         s.Write(u8"new/a.ini", "20,H\0P,2,4,0,,,0,,,\r\n22,MP,2,,0,,,0,,,\r\n"s);
     },
     [](const Scene& s) {
         return Outcome{
             .messages = {Sj(u8"aの[MP]は構造体の範囲外アドレスです")},
             .log = {Sj(u8"　ADDR:00000010 -> 00000020"), Sj(u8"　size:8 -> 2"), kMatch, "", OutputNotice(s)},
             .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     }},
    {"InvalidCodePage932Bytes", Command::kRewrite,
     [](Scene& s) {
         // Bytes that are no code page 932 text in field and record names: carried into the log as they are.
         s.Write(u8"new/a.ini", "20,\xFF\x81,2,4,0,,,0,,,\r\n21,,1,,0,,,0,,,\r\n"
                                "22,\x85\x40,2,,0,,,0,,,\r\n23,,1,,0,,,0,,,\r\n");
         s.Write(u8"new/a.idn", "\xFD\xA0\r\nBob\r\n");
         s.Write(u8"new.bin", Image(0x40, 0x20, "\x11\x22\x00\x00\x55\x66\x77\x88"s));
     },
     [](const Scene& s) {
         return Outcome{
             .log = {Sj(u8"　[00000022]:") + "\xFD\xA0\n" + Sj(u8"の") + "\x85\x40" + Sj(u8"を書き換え 0000 -> 4433"),
                     "", OutputNotice(s)},
             .questions = {Sj(u8"aのデータに2/8 Byteの違いがあります。上書きしますか？")},
             .files = {{u8"new.bin.new", Image(0x40, 0x20, kTableBytes)}}};
     }},
    {"UnconvertibleAddress", Command::kCreate,
     [](Scene& s) { s.Write(u8"old/a.ini", "10,HP,2,4,0,,,0,,,\r\nzz,MP,2,,0,,,0,,,\r\n"); },
     [](const Scene& s) {
         return Outcome{.messages = {ParseFailed(JoinPath(s.oldFolder, "a.ini"))},
                        .log = CreateLogWithoutTables(s, {CopySucceeded(s, "a.idn")}),
                        .wholeLog = true,
                        .absent = {u8"old_NEW/a.ini"}};
     }},
    {"AddressAboveFFFFFFFF", Command::kRewrite,
     [](Scene& s) { s.Write(u8"new/a.ini", "100000020,HP,2,4,0,,,0,,,\r\n22,MP,2,,0,,,0,,,\r\n"); },
     [](const Scene& s) {
         return Outcome{.messages = {ParseFailed(JoinPath(s.newFolder, "a.ini"))},
                        .log = {kMissingA, "", OutputNotice(s)},
                        .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     }},
    {"EmptyAddressColumnWhenShifting", Command::kCreate,
     [](Scene& s) {
         // An empty column reads as 0 in a table, but there is no address to move.
         s.Write(u8"old/a.ini", "10,HP,2,4,0,,,0,,,\r\n,MP,2,,0,,,0,,,\r\n");
     },
     [](const Scene& s) {
         return Outcome{
             .log = {Sj(u8"　00000020にデータ発見。"), Sj(u8"　アドレスを16ずつ書き換え"),
                     Sj(u8"　") + JoinPath(s.oldFolder, "a.ini") + Sj(u8"の2行目のアドレス「」を変換できませんでした"),
                     ""},
             .absent = {u8"old_NEW/a.ini"}};
     }},
    {"RecordSizeFFFFFFFF", Command::kRewrite,
     [](Scene& s) { s.Write(u8"new/a.ini", "20,HP,2,FFFFFFFF,0,,,0,,,\r\n22,MP,2,,0,,,0,,,\r\n"); },
     [](const Scene& s) {
         return Outcome{
             .messages = {ParseFailed(JoinPath(s.newFolder, "a.ini"))},
             .log = {"a", Sj(u8"　ADDR:00000010 -> 00000000"), Sj(u8"　size:8 -> 0"), kMissingA, "", OutputNotice(s)},
             .wholeLog = true,
             .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     }},
    // One record of 8 bytes where the old folder has two of 4: the table size is the same, so the fields
    // are walked, and named from the new layout, the one that gives their widths.
    {"RecordSizeChangedTableSizeKept", Command::kRewrite,
     [](Scene& s) {
         s.Write(u8"new/a.ini", "20,HP,2,8,0,,,0,,,\r\n21,x,1,,0,,,0,,,\r\n22,MP,1,,0,,,0,,,\r\n"
                                "23,y,1,,0,,,0,,,\r\n24,SP,2,,0,,,0,,,\r\n");
         s.Write(u8"new/a.idn", "Alice\r\n");
         s.Write(u8"new.bin", Image(0x40, 0x20, "\x11\x22\x33\x44\x00\x00\x77\x88"s));
     },
     [](const Scene& s) {
         return Outcome{.log = {"a", Sj(u8"　ADDR:00000010 -> 00000020"), Sj(u8"　size:8 -> 8"),
                                Sj(u8"　レコードサイズが4から8に変わったため、更新後の定義で項目を数えます"),
                                Sj(u8"　[00000024]:Alice\nのSPを書き換え 0000 -> 6655"), "", OutputNotice(s)},
                        .wholeLog = true,
                        .files = {{u8"new.bin.new", Image(0x40, 0x20, kTableBytes)}}};
     }},
    {"TableOver4GiB", Command::kCreate,
     [](Scene& s) {
         // 1 MiB records, 4096 of them: 2^32 bytes, one more than a 32-bit size holds.
         s.Write(u8"old/a.ini", "10,HP,1,100000,0,,,0,,,\r\n");
         s.Write(u8"old/a.idn", NameLines(4096));
     },
     [](const Scene& s) {
         return Outcome{.messages = {ParseFailed(JoinPath(s.oldFolder, "a.ini"))},
                        .log = CreateLogWithoutTables(s, {CopySucceeded(s, "a.idn")}),
                        .wholeLog = true,
                        .absent = {u8"old_NEW/a.ini"}};
     }},

    // Name lists.
    {"NameListOfAMillionLines", Command::kCreate, [](Scene& s) { s.Write(u8"old/a.idn", NameLines(1000000)); },
     [](const Scene& s) {
         return Outcome{.log = {CopySucceeded(s, "a.idn"), "a", Sj(u8"　ADDR: 00000010"), Sj(u8"　Size: 4000000"),
                                kBeyondFile, ""},
                        .absent = {u8"old_NEW/a.ini"},
                        .files = {{u8"old_NEW/a.idn", NameLines(1000000)}}};
     }},
    {"NewNameListOfAMillionLines", Command::kRewrite, [](Scene& s) { s.Write(u8"new/a.idn", NameLines(1000000)); },
     [](const Scene& s) {
         return Outcome{.log = {Sj(u8"　size:8 -> 4000000"), kBeyondFile + "\r\n", OutputNotice(s)},
                        .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     }},

    // Tables that do not fit their binaries.
    {"TablePastTheEndOfTheOldBinary", Command::kRewrite,
     [](Scene& s) { s.Write(u8"old/a.ini", "3C,HP,2,4,0,,,0,,,\r\n3E,MP,2,,0,,,0,,,\r\n"); },
     [](const Scene& s) {
         // The error text ends the table's block with its own line end: no empty line follows.
         return Outcome{.log = {"a", Sj(u8"　ADDR:0000003C -> 00000020"), Sj(u8"　size:8 -> 8"), kBeyondFile + "\r\n",
                                OutputNotice(s)},
                        .wholeLog = true,
                        .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     }},
    {"TablePastTheEndOfTheNewBinary", Command::kRewrite,
     [](Scene& s) { s.Write(u8"new/a.ini", "3C,HP,2,4,0,,,0,,,\r\n3E,MP,2,,0,,,0,,,\r\n"); },
     [](const Scene& s) {
         return Outcome{.log = {Sj(u8"　ADDR:00000010 -> 0000003C"), kBeyondFile + "\r\n", OutputNotice(s)},
                        .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     }},
    {"TableWrappingPastFFFFFFFF", Command::kRewrite,
     [](Scene& s) { s.Write(u8"old/a.ini", "FFFFFFFC,HP,2,4,0,,,0,,,\r\n"); },
     [](const Scene& s) {
         return Outcome{.log = {Sj(u8"　ADDR:FFFFFFFC -> 00000020"), kBeyondFile + "\r\n", OutputNotice(s)},
                        .files = {{u8"new.bin.new", s.Read(u8"new.bin")}}};
     }},
    {"TablePastTheEndOfTheOldBinaryForCreate", Command::kCreate,
     [](Scene& s) { s.Write(u8"old/a.ini", "3C,HP,2,4,0,,,0,,,\r\n3E,MP,2,,0,,,0,,,\r\n"); },
     [](const Scene&) {
         return Outcome{.log = {"a", Sj(u8"　ADDR: 0000003C"), Sj(u8"　Size: 8"), kBeyondFile, ""},
                        .absent = {u8"old_NEW/a.ini"}};
     }},
    {"NewBinaryShorterThanTheTable", Command::kCreate, [](Scene& s) { s.Write(u8"new.bin", "\x11\x22\x33\x44"); },
     [](const Scene&) {
         return Outcome{.log = {"a", Sj(u8"　ADDR: 00000010"), Sj(u8"　Size: 8"), kNotFound, ""},
                        .absent = {u8"old_NEW/a.ini"}};
     }},
};

// The dialog's order: settings folders, a missing one ending the click, then the binaries, each failed
// binary load ending the click with the message that names the file, then the command with every question
// answered yes.
void RunAsTheDialogDoes(Command command, const Scene& s, CDefinitionUpdater& engine) {
    if (!engine.LoadOldSettings(s.oldFolder) ||
        (command == Command::kRewrite && !engine.LoadNewSettings(s.newFolder))) {
        return;
    }
    if (!engine.LoadOldBinary(s.oldBinary)) {
        ShowMessageBox(text::kOldBinaryLoadFailed);
        return;
    }
    if (!engine.LoadNewBinary(s.newBinary)) {
        ShowMessageBox(text::kNewBinaryLoadFailed);
        return;
    }
    if (command == Command::kRewrite) {
        engine.Rewrite();
    } else {
        engine.CreateDefinitions();
    }
}

// True when `wanted` appears in `lines` in this order, other lines allowed in between.
bool InOrder(const Lines& lines, const Lines& wanted) {
    auto at = lines.begin();
    for (const auto& line : wanted) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) {
            return false;
        }
        ++at;
    }
    return true;
}

// Root reads files whatever their permissions: for the rows about unreadable files the command runs with
// the effective user "nobody", in a folder that user may write to. Restored at the end of the scope.
class UnprivilegedScope {
public:
    explicit UnprivilegedScope(const Scene& s) {
#ifndef _WIN32
        if (geteuid() != 0) {
            return;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(s.dir.Path())) {
            if (entry.is_directory()) {
                std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
            }
        }
        std::filesystem::permissions(s.dir.Path(), std::filesystem::perms::all);
        constexpr uid_t kNobody = 65534;
        if (seteuid(kNobody) != 0) {
            m_failure = std::string("cannot run as an unprivileged user: ") + std::strerror(errno);
            return;
        }
        m_dropped = true;
#else
        (void)s;
        m_failure = "no permission bits keep a file from being read here";
#endif
    }
    ~UnprivilegedScope() {
#ifndef _WIN32
        if (m_dropped && seteuid(0) != 0) {
            ADD_FAILURE() << "cannot return to root: " << std::strerror(errno);
        }
#endif
    }
    UnprivilegedScope(const UnprivilegedScope&) = delete;
    UnprivilegedScope& operator=(const UnprivilegedScope&) = delete;

    const std::optional<std::string>& Failure() const {
        return m_failure;
    }

private:
    bool m_dropped = false;
    std::optional<std::string> m_failure;
};

bool CanRead(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return in.good();
}

class BadInputCatalogue : public ::testing::TestWithParam<Row> {};

TEST_P(BadInputCatalogue, EndsAsTheRowSays) {
    const Row& row = GetParam();
    Scene scene;
    row.arrange(scene);
    if (scene.unavailable) {
        GTEST_SKIP() << *scene.unavailable;
    }
    const std::vector<std::string> outputs = {"old_NEW", "new.bin.new", "gone.bin.new"};
    const TreeSnapshot inputs = SnapshotTree(scene.dir.Path(), outputs);

    CDefinitionUpdater engine;
    CapturedChannels channels(engine);
    {
        std::optional<UnprivilegedScope> unprivileged;
        if (row.unprivileged) {
            unprivileged.emplace(scene);
            if (unprivileged->Failure()) {
                GTEST_SKIP() << *unprivileged->Failure();
            }
            for (const auto& path : {u8"old.bin", u8"new/a.idn", u8"old/a.ini"}) {
                if (std::filesystem::exists(scene.dir.Native(path)) &&
                    std::filesystem::status(scene.dir.Native(path)).permissions() == std::filesystem::perms::none &&
                    CanRead(scene.dir.Native(path))) {
                    GTEST_SKIP() << "this user reads files whatever their permissions";
                }
            }
        }
        RunAsTheDialogDoes(row.command, scene, engine);
    }

    const Outcome expected = row.expect(scene);
    EXPECT_EQ(channels.messages, expected.messages);
    if (expected.wholeLog) {
        EXPECT_EQ(channels.log, expected.log);
    } else {
        EXPECT_TRUE(InOrder(channels.log, expected.log)) << ::testing::PrintToString(channels.log);
    }
    EXPECT_TRUE(InOrder(channels.questions, expected.questions)) << ::testing::PrintToString(channels.questions);
    for (const auto& path : expected.present) {
        EXPECT_TRUE(std::filesystem::exists(scene.dir.Native(path))) << scene.dir.Native(path);
    }
    for (const auto& path : expected.absent) {
        EXPECT_FALSE(std::filesystem::exists(scene.dir.Native(path))) << scene.dir.Native(path);
    }
    for (const auto& [path, bytes] : expected.files) {
        EXPECT_EQ(scene.Read(path), bytes) << scene.dir.Native(path);
    }
    EXPECT_EQ(SnapshotTree(scene.dir.Path(), outputs), inputs) << "an input changed";
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputCatalogue, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

} // namespace
} // namespace dovra::test
