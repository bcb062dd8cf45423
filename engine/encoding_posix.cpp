#include "engine/encoding.h"

#include <cerrno>
#include <iconv.h>

namespace dovra {
namespace {

// glibc's CP932 is Microsoft's code page 932 (Shift_JIS with the NEC and IBM extensions).
constexpr const char* kCp932 = "CP932";
constexpr const char* kUtf8 = "UTF-8";

class Converter {
public:
    Converter(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~Converter() {
        if (m_handle != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(m_handle);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input; on an invalid or unconvertible sequence either fails or, with a
    // replacement, puts it in place of one input byte and goes on.
    std::optional<std::string> Run(std::string_view input, const std::string* replacement) {
        if (m_handle == reinterpret_cast<iconv_t>(-1)) {
            return std::nullopt;
        }
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        std::string output;
        char buffer[4096];
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        while (inLeft > 0) {
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            std::size_t result = iconv(m_handle, &in, &inLeft, &out, &outLeft);
            output.append(buffer, static_cast<std::size_t>(out - buffer));
            if (result != static_cast<std::size_t>(-1)) {
                continue;
            }
            if (errno == E2BIG) {
                continue;
            }
            if (replacement == nullptr) {
                return std::nullopt;
            }
            output += *replacement;
            ++in;
            --inLeft;
            iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        }
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        if (iconv(m_handle, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1) &&
            replacement == nullptr) {
            return std::nullopt;
        }
        output.append(buffer, static_cast<std::size_t>(out - buffer));
        return output;
    }

private:
    iconv_t m_handle;
};

std::optional<std::string> Convert(const char* to, const char* from, std::string_view input,
                                   const std::string* replacement = nullptr) {
    Converter converter(to, from);
    return converter.Run(input, replacement);
}

} // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    auto utf8 = Convert(kUtf8, kCp932, cp932);
    if (!utf8 || Convert(kCp932, kUtf8, *utf8) != std::optional<std::string>(std::string(cp932))) {
        return std::nullopt;
    }
    return utf8;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    auto cp932 = Convert(kCp932, kUtf8, utf8);
    if (!cp932 || Convert(kUtf8, kCp932, *cp932) != std::optional<std::string>(std::string(utf8))) {
        return std::nullopt;
    }
    return cp932;
}

std::string Cp932ToUtf8Lossy(std::string_view cp932) {
    static const std::string kReplacement = "\xEF\xBF\xBD";
    return Convert(kUtf8, kCp932, cp932, &kReplacement).value_or(std::string());
}

std::string Utf8ToCp932Lossy(std::string_view utf8) {
    // One "?" per character that has no form: skip the UTF-8 continuation bytes of the one replaced.
    std::string result;
    std::size_t start = 0;
    while (start < utf8.size()) {
        std::size_t end = start + 1;
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
            ++end;
        }
        auto piece = Convert(kCp932, kUtf8, utf8.substr(start, end - start));
        if (piece && Convert(kUtf8, kCp932, *piece) ==
                         std::optional<std::string>(std::string(utf8.substr(start, end - start)))) {
            result += *piece;
        } else {
            result += '?';
        }
        start = end;
    }
    return result;
}

} // namespace dovra
