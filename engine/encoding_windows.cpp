#include "engine/encoding.h"

#include <climits>

#include <windows.h>

#include "engine/path_text.h"
#include "engine/wide_text_windows.h"

namespace dovra {
namespace {

// Microsoft's code page 932 is built into Windows, so nothing here depends on the system's ANSI code page.
constexpr UINT kCp932 = 932;

// Strict decoding: an invalid or incomplete sequence fails the whole conversion instead of becoming the
// code page's default character (U+30FB for code page 932).
std::optional<std::wstring> ToWide(UINT codePage, std::string_view text) {
    if (text.empty()) {
        return std::wstring();
    }
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::nullopt;
    }
    const int inputLength = static_cast<int>(text.size());
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), inputLength, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), inputLength, wide.data(), length) != length) {
        return std::nullopt;
    }
    return wide;
}

// Strict encoding: no best-fit substitutes (U+301C WAVE DASH must not quietly become another character) and
// no default character; for UTF-8, an unpaired surrogate fails instead of becoming U+FFFD.
std::optional<std::string> FromWide(UINT codePage, std::wstring_view wide) {
    if (wide.empty()) {
        return std::string();
    }
    if (wide.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::nullopt;
    }
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int inputLength = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    // UTF-8 has no default character, and the call fails when asked whether one was used.
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int length = WideCharToMultiByte(codePage, flags, wide.data(), inputLength, nullptr, 0, nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), inputLength, text.data(), length, nullptr, usedDefaultOut) !=
            length ||
        usedDefault) {
        return std::nullopt;
    }
    return text;
}

// Length in bytes of the character that starts at `index`: two for a lead byte with a byte after it.
std::size_t Cp932CharacterLength(std::string_view text, std::size_t index) {
    return IsCp932LeadByte(static_cast<unsigned char>(text[index])) && index + 1 < text.size() ? 2 : 1;
}

// Length in bytes of the UTF-8 character that starts at `index`, continuation bytes included.
std::size_t Utf8CharacterLength(std::string_view text, std::size_t index) {
    std::size_t end = index + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        ++end;
    }
    return end - index;
}

} // namespace

std::optional<std::wstring> Cp932ToWide(std::string_view cp932) {
    auto wide = ToWide(kCp932, cp932);
    // Code page 932 has duplicate codes (NEC and IBM extensions) that decode to one character and encode
    // back to the other: such bytes have no exact form.
    if (!wide || FromWide(kCp932, *wide) != std::optional<std::string>(std::string(cp932))) {
        return std::nullopt;
    }
    return wide;
}

std::optional<std::string> WideToCp932(std::wstring_view wide) {
    auto cp932 = FromWide(kCp932, wide);
    if (!cp932 || ToWide(kCp932, *cp932) != std::optional<std::wstring>(std::wstring(wide))) {
        return std::nullopt;
    }
    return cp932;
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    auto wide = Cp932ToWide(cp932);
    return wide ? FromWide(CP_UTF8, *wide) : std::nullopt;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    auto wide = ToWide(CP_UTF8, utf8);
    return wide ? WideToCp932(*wide) : std::nullopt;
}

std::string Cp932ToUtf8Lossy(std::string_view cp932) {
    if (auto exact = Cp932ToUtf8(cp932)) {
        return *exact;
    }
    // Character by character; a character that does not convert shows as U+FFFD in place of its first
    // byte, and the next byte is tried afresh (it may start a valid character).
    std::string result;
    for (std::size_t i = 0; i < cp932.size();) {
        std::size_t length = Cp932CharacterLength(cp932, i);
        if (auto piece = Cp932ToUtf8(cp932.substr(i, length))) {
            result += *piece;
            i += length;
        } else {
            result += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return result;
}

std::string Utf8ToCp932Lossy(std::string_view utf8) {
    if (auto exact = Utf8ToCp932(utf8)) {
        return *exact;
    }
    // One "?" per character that has no form.
    std::string result;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = Utf8CharacterLength(utf8, i);
        result += Utf8ToCp932(utf8.substr(i, length)).value_or("?");
        i += length;
    }
    return result;
}

} // namespace dovra
