#pragma once

// The dialog's own texts that live in code rather than in the .ui templates. They are UTF-8 (u8 literals, so
// no compiler's execution character set can change them); the engine's texts stay code page 932 in
// engine/texts.cpp.
namespace dovra::ui_text {

// The file pickers' one filter. Windows matches "*.*" against every name; elsewhere it would skip names
// without a dot (a ROM or an executable often has none), so the pattern there is "*".
#ifdef _WIN32
inline constexpr char8_t kAllFilesFilter[] = u8"すべてのファイル (*.*)";
#else
inline constexpr char8_t kAllFilesFilter[] = u8"すべてのファイル (*)";
#endif

// A field holds a path that code page 932 cannot hold exactly; %1 is the path as typed.
inline constexpr char8_t kPathNotRepresentable[] =
    u8"次のパスにはShift_JIS（コードページ932）で表せない文字が含まれているため使えません。\n"
    u8"フォルダ名またはファイル名を変更してから、もう一度実行してください。\n\n%1";

// The dialog's own command line (--help): what the program is, and where the command line version is.
inline constexpr char8_t kCommandLineDescription[] =
    u8"Dovra設定フォルダを対象バイナリの新しい版に合わせて更新するダイアログです。\n"
    u8"Updates Dovra settings folders for a new version of the target binary (a dialog).\n"
    u8"スクリプトからはコマンドライン版を使います / for scripts: dovra-updater-cli --help";

// The log pane's context menu: saving the log and copying all of it.
inline constexpr char8_t kSaveLogAction[] = u8"ログを保存…";
inline constexpr char8_t kCopyAllAction[] = u8"すべてコピー";
inline constexpr char8_t kSaveLogCaption[] = u8"ログを保存";
inline constexpr char8_t kSaveLogDefaultName[] = u8"DovraUpdaterのログ.txt";
inline constexpr char8_t kSaveLogFilter[] = u8"テキストファイル (*.txt);;すべてのファイル (*)";
// %1 is the path chosen, %2 the system's reason.
inline constexpr char8_t kSaveLogFailed[] = u8"ログを保存できませんでした。\n\n%1\n%2";

// The results tab: its columns, its filter buttons (%1 is the count of rows each lets through).
inline constexpr char8_t kResultsTab[] = u8"結果";
inline constexpr char8_t kColumnName[] = u8"テーブル";
inline constexpr char8_t kColumnOldAddress[] = u8"旧アドレス";
inline constexpr char8_t kColumnNewAddress[] = u8"新アドレス";
inline constexpr char8_t kColumnSize[] = u8"サイズ";
inline constexpr char8_t kColumnOldSize[] = u8"旧サイズ";
inline constexpr char8_t kColumnNewSize[] = u8"新サイズ";
inline constexpr char8_t kColumnOutcome[] = u8"結果";
inline constexpr char8_t kColumnMatches[] = u8"一致数";
inline constexpr char8_t kColumnSimilarity[] = u8"一致率";
inline constexpr char8_t kColumnNote[] = u8"※";
inline constexpr char8_t kColumnFields[] = u8"書き換えた項目";
inline constexpr char8_t kColumnConflicts[] = u8"競合";
inline constexpr char8_t kFilterAll[] = u8"すべて (%1)";
inline constexpr char8_t kFilterNeedsCheck[] = u8"要確認 (%1)";
inline constexpr char8_t kFilterNotFound[] = u8"見つからず (%1)";
inline constexpr char8_t kFilterError[] = u8"エラー (%1)";
inline constexpr char8_t kCopyRowsAction[] = u8"選んだ行をコピー";
inline constexpr char8_t kResultsTableName[] = u8"結果の表";
inline constexpr char8_t kResultsTableDescription[] =
    u8"前回のコマンドのテーブルごとの結果。見出しで並べ替え、Enterかダブルクリックでログのその箇所を表示、"
    u8"Ctrl+Cで選んだ行をタブ区切りでコピーします";
inline constexpr char8_t kFilterAllDescription[] = u8"結果の表にすべてのテーブルを表示します";
inline constexpr char8_t kFilterNeedsCheckDescription[] = u8"結果の表に確認が必要なテーブルだけを表示します";
inline constexpr char8_t kFilterNotFoundDescription[] = u8"結果の表に見つからなかったテーブルだけを表示します";
inline constexpr char8_t kFilterErrorDescription[] = u8"結果の表にエラーになったテーブルだけを表示します";

} // namespace dovra::ui_text
