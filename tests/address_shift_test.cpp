#include <gtest/gtest.h>

#include "migration/address_shift.h"

namespace dovra {
namespace {

std::string Shifted(std::string_view content, std::int32_t delta) {
    ShiftedDefinition result = ShiftDefinitionAddresses(content, delta);
    EXPECT_FALSE(result.failure);
    return result.text;
}

TEST(AddressShift, EveryLineWithACommaMovesAndKeepsTheRestByteForByte) {
    EXPECT_EQ(Shifted("00001000,HP,2,, 0,k,,0,,,\n00001002,MP,2,,\n", 256), "1100,HP,2,, 0,k,,0,,,\n1102,MP,2,,\n");
    // A line without a comma, the empty line included, has no address and stays as it is; a last line
    // without a line feed stays so.
    EXPECT_EQ(Shifted("1000,A,\n\nno comma here\n1001,B,", 1), "1001,A,\n\nno comma here\n1002,B,");
    EXPECT_EQ(Shifted("", 5), "");
}

TEST(AddressShift, AddressColumnForms) {
    EXPECT_EQ(Shifted("0x1a,a,\n 1A,b,\n1a,c,\n1Axyz,d,\n+1A,e,\n", 1), "1B,a,\n1B,b,\n1B,c,\n1B,d,\n1B,e,\n");
    EXPECT_EQ(Shifted("-1,a,\n", 1), "0,a,\n");
}

TEST(AddressShift, ArithmeticIsModulo32Bits) {
    EXPECT_EQ(Shifted("10,a,\n", -256), "FFFFFF10,a,\n");
    EXPECT_EQ(Shifted("FFFFFFFF,a,\n", 2), "1,a,\n");
}

TEST(AddressShift, LongLinesArePiecesOfTheirOwn) {
    // 1023 bytes make the first piece; the rest of the line is a second piece, kept as it is when it has no
    // comma (with it the line feed, so the next line stays a line of its own) and shifted like a line when
    // it has one.
    std::string first = "10," + std::string(1020, 'x');
    EXPECT_EQ(Shifted(first + "tail\n", 1), "11," + std::string(1020, 'x') + "tail\n");
    EXPECT_EQ(Shifted(first + "tail\n12,y,\n", 1), "11," + std::string(1020, 'x') + "tail\n13,y,\n");
    EXPECT_EQ(Shifted(first + std::string(2000, 'y') + "\n12,y,\n", 1),
              "11," + std::string(1020, 'x') + std::string(2000, 'y') + "\n13,y,\n");
    EXPECT_EQ(Shifted(first + "5,tail\n", 1), "11," + std::string(1020, 'x') + "6,tail\n");
}

TEST(AddressShift, BytesAfterANulAreWrittenBack) {
    // The editor stops reading a line at a NUL, but the file is written whole: no byte and no line end lost.
    using namespace std::string_literals;
    EXPECT_EQ(Shifted("10,H\0P,\n12,M,\n"s, 1), "11,H\0P,\n13,M,\n"s);
    EXPECT_EQ(Shifted("ab\0,c\n12,M,\n"s, 1), "ab\0,c\n13,M,\n"s);
}

TEST(AddressShift, DoubleByteTextAfterTheAddressIsUntouched) {
    const std::string line = "1000,\x95\x5C\x83\x65\x81\x5B\x83\x75\x83\x8B,2,,\n"; // 表テーブル
    EXPECT_EQ(Shifted(line, 0x10), "1010,\x95\x5C\x83\x65\x81\x5B\x83\x75\x83\x8B,2,,\n");
}

TEST(AddressShift, ReportsTheFirstLineThatDoesNotConvert) {
    ShiftedDefinition result = ShiftDefinitionAddresses("1000,a,\n\n  ,b,\nzz,c,\n", 1);
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->lineNumber, 3u);
    EXPECT_EQ(result.failure->addressColumn, "  ");

    result = ShiftDefinitionAddresses("1000,a,\n100000000,b,\n", 1);
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->lineNumber, 2u);
    EXPECT_EQ(result.failure->addressColumn, "100000000");
}

} // namespace
} // namespace dovra
