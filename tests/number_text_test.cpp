#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "definitions/number_text.h"

namespace dovra {
namespace {

TEST(NumberText, Hex32ReadsAsStoulWouldOn32Bits) {
    struct Case {
        std::string text;
        std::optional<std::uint32_t> value;
    };
    const Case cases[] = {
        {"1A", 0x1A},
        {"1a", 0x1A},
        {"0x1A", 0x1A},
        {"0X1a", 0x1A},
        {" 1A", 0x1A},
        {"\t\n 1A", 0x1A},
        {"1Axyz", 0x1A},
        {"1A 2B", 0x1A},
        {"+1A", 0x1A},
        {"-1", 0xFFFFFFFF},
        {"-0x10", 0xFFFFFFF0},
        {"-FFFFFFFF", 0x00000001},
        {"FFFFFFFF", 0xFFFFFFFF},
        {"00000000FFFFFFFF", 0xFFFFFFFF}, // leading zeros are no overflow
        {"0", 0},
        // "0x" without a hexadecimal digit after it is the number 0 followed by other text.
        {"0x", 0},
        {"0xg", 0},
        {"0x 5", 0},
        {"100000000", std::nullopt}, // nine digits, first non-zero: above 32 bits
        {"-100000000", std::nullopt},
        {"FFFFFFFFFFFFFFFFF", std::nullopt},
        {"   ", std::nullopt},
        {"xyz", std::nullopt},
        {"x1", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"- 1", std::nullopt},
        {"+-1", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        EXPECT_EQ(ParseHex32(c.text), c.value);
    }
}

TEST(NumberText, AtoiReadsLeadingDecimalDigits) {
    struct Case {
        std::string text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"12", 12},
        {" 12", 12},
        {"12abc", 12},
        {"-5", -5},
        {"+7", 7},
        {"", 0},
        {"abc", 0},
        {"- 5", 0},
        {"0x10", 0},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"99999999999999999999", 2147483647},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        EXPECT_EQ(ParseAtoi(c.text), c.value);
    }
}

} // namespace
} // namespace dovra
