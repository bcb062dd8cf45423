#include "definitions/number_text.h"

#include <algorithm>
#include <limits>

namespace dovra {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Skips white space and reads an optional sign; returns true for a minus.
bool SkipSpaceAndSign(std::string_view text, std::size_t& i) {
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return negative;
}

} // namespace

std::optional<std::uint32_t> ParseHex32(std::string_view text) {
    std::size_t i = 0;
    bool negative = SkipSpaceAndSign(text, i);
    // "0x" counts as a prefix only when a hexadecimal digit follows; otherwise the "0" is the number.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t value = 0;
    bool anyDigit = false;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
        anyDigit = true;
        value = value * 16 + static_cast<std::uint64_t>(HexDigit(text[i]));
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    auto result = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

std::int32_t ParseAtoi(std::string_view text) {
    std::size_t i = 0;
    bool negative = SkipSpaceAndSign(text, i);
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), kLimit);
    }
    if (negative) {
        return static_cast<std::int32_t>(-value);
    }
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, kLimit - 1));
}

} // namespace dovra
