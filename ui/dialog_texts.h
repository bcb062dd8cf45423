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

} // namespace dovra::ui_text
