#pragma once

// What the command line front end itself says on the terminal, in UTF-8 (the engine's own texts are code
// page 932 and live in engine/texts.cpp). Japanese first for the tool's users, English for scripts' authors.
namespace dovra::cli {

inline constexpr char kProgramName[] = "dovra-updater-cli";

inline constexpr char kSynopsis[] =
    "使い方 / usage:\n"
    "  dovra-updater-cli create  OLD_SETTINGS_DIR OLD_BINARY NEW_BINARY [--report FILE.json] [--yes]\n"
    "  dovra-updater-cli rewrite OLD_SETTINGS_DIR NEW_SETTINGS_DIR OLD_BINARY NEW_BINARY\n"
    "                            [--base UNMODIFIED_OLD_BINARY] [--report FILE.json] [--yes]\n"
    "  dovra-updater-cli --help | --version\n";

inline constexpr char kHelpDetails[] =
    "\n"
    "create   Dovra作成: 旧設定フォルダの各テーブルのデータを新バイナリから探し、アドレスをずらした\n"
    "         定義ファイルを OLD_SETTINGS_DIR_NEW に書き出します。名前リスト (.idn) は複製します。\n"
    "         OLD_BINARY は無改造の旧バイナリファイルです。\n"
    "         Finds every old table's bytes in the new binary and writes OLD_SETTINGS_DIR_NEW with every\n"
    "         address shifted; name lists are copied. OLD_BINARY must be the unaltered old binary.\n"
    "rewrite  書き換え: 旧バイナリのテーブルのデータを、新設定フォルダが示す位置へ項目ごとに書き写し、\n"
    "         NEW_BINARY.new として出力します。入力ファイルは書き換えません。\n"
    "         Copies each old table's data into the new binary where the new settings folder places it,\n"
    "         field by field, and writes NEW_BINARY.new. The input files are never written.\n"
    "\n"
    "--base UNMODIFIED_OLD_BINARY\n"
    "         rewrite で、改造前の旧バイナリファイルを指定します。自分で変更した項目だけを書き写し、\n"
    "         更新で変わった項目は新バイナリのまま残します。自分と更新の両方が違う値に変えた項目\n"
    "         (競合) は自分の値を書き、ログに3つの値を示します。明らかに別のファイルなら、何も書かずに\n"
    "         読み込みを失敗とします。\n"
    "         For rewrite: the old binary as it was before the user's edits. Only fields the user changed\n"
    "         are carried; fields the update changed keep the new binary's values. A field both changed\n"
    "         differently (a conflict) gets the user's value and a log line with all three values. A file\n"
    "         that plainly is not the unmodified old binary is refused (status 1) before anything is written.\n"
    "\n"
    "--report FILE.json\n"
    "         コマンドの結果をJSON (UTF-8) で書き出します: コマンド、パス、版、テーブルごとの結果、\n"
    "         質問とその答え、集計。ファイルは丸ごと書き換わるか、元のままです。\n"
    "         Writes the command's outcome as one JSON object (UTF-8): the command, the paths, the version,\n"
    "         every table's outcome, each question with its answer, and the totals. The file is replaced\n"
    "         whole or not at all; if it cannot be written the exit status is 3.\n"
    "\n"
    "--yes    すべての質問に「はい」と答えます (標準入力は読みません)。\n"
    "         Answers yes to every question without reading standard input.\n"
    "\n"
    "ログは標準出力へ、質問とメッセージは標準エラー出力へ出ます。質問には標準入力の1行で答えます:\n"
    "y または yes (大文字小文字は問いません) で「はい」、それ以外や入力の終わり、4 KiB を超える行、\n"
    "表示できなかった質問は「いいえ」です。\n"
    "Log lines go to standard output; questions and messages go to standard error. A question reads one\n"
    "line from standard input: y or yes in any letter case is yes; anything else, end of input, a line\n"
    "longer than 4 KiB, or a question that could not be shown, is no.\n"
    "\n"
    "終了ステータス / exit status:\n"
    "  0  コマンドが最後まで実行されました / the command ran to its end (whatever the answers)\n"
    "  1  設定フォルダが見つからないか、バイナリファイルを読み込めませんでした /\n"
    "     a settings folder was not found, or a binary file could not be loaded (or --base was refused)\n"
    "  2  使い方の誤り、または表せないパス / usage error, or a path code page 932 cannot represent\n"
    "  3  出力を書き込めませんでした / an output could not be written (NEW_BINARY.new, the _NEW folder,\n"
    "     the report)\n"
    "  4  コマンドは最後まで実行されましたが、ログやメッセージを書き込めませんでした (ディスクの空き不足、\n"
    "     閉じられた出力、読み手の終了など) / the command ran to its end, but its log or messages could\n"
    "     not all be written (a full disk, a closed stream, a reader that quit)\n";

inline constexpr char kSeeHelp[] = "詳しくは dovra-updater-cli --help / see dovra-updater-cli --help\n";

// After "dovra-updater-cli: " when the log or a message could not be written (exit status 4).
inline constexpr char kLogLost[] =
    "ログまたはメッセージの一部を書き込めませんでした。出力ファイルは完全なものだけが書かれています / part of the log "
    "or messages could not be written; only complete output files were written";

// Usage errors, after "dovra-updater-cli: ".
inline constexpr char kNoCommand[] = "コマンドがありません / no command given";
inline constexpr char kUnknownCommand[] = "不明なコマンドです: {} / unknown command";
inline constexpr char kUnknownOption[] = "不明なオプションです: {} / unknown option";
inline constexpr char kWrongPathCount[] = "{0}にはパスが{1}個必要です ({2}個指定) / {0} takes {1} paths, {2} given";
inline constexpr char kBaseWithoutPath[] = "--base にはパスが必要です / --base needs a path";
inline constexpr char kBaseGivenTwice[] = "--base は1回だけ指定できます / --base may be given once";
inline constexpr char kBaseForRewriteOnly[] = "--base は rewrite でのみ使えます / --base is for rewrite only";
inline constexpr char kReportWithoutPath[] = "--report にはパスが必要です / --report needs a path";
inline constexpr char kReportGivenTwice[] = "--report は1回だけ指定できます / --report may be given once";
inline constexpr char kReportWriteFailed[] = "レポートを書き込めませんでした: {} / the report could not be written";
inline constexpr char kUnrepresentablePath[] =
    "パスをコードページ932 (Shift_JIS) で正確に表せません: {} / the path has no exact code page 932 form";

} // namespace dovra::cli
