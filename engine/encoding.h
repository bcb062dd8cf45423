#pragma once

#include <optional>
#include <string>
#include <string_view>

// Conversions between the engine's code page 932 text and UTF-8, the text of the terminal, of Qt and of
// POSIX file names. Exact conversions refuse (nullopt) any text that would not come back byte for byte:
// bytes that are not code page 932, and characters that code page 932 lacks or maps to another one (é,
// U+301C WAVE DASH, which code page 932 returns as U+FF5E). A path is never silently altered.
namespace dovra {

std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// For display only (log pane, terminal, messages): never fails; a byte sequence that is not code page 932
// shows as U+FFFD.
std::string Cp932ToUtf8Lossy(std::string_view cp932);

// For naming something code page 932 cannot hold exactly: every character it lacks becomes "?".
std::string Utf8ToCp932Lossy(std::string_view utf8);

} // namespace dovra
