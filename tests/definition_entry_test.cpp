#include <gtest/gtest.h>

#include <string>

#include "definitions/definition_entry.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::Sj;

DefinitionEntry Parsed(std::string_view line) {
    DefinitionEntry entry;
    EXPECT_TRUE(entry.Parse(line));
    return entry;
}

void ExpectSameFields(const DefinitionEntry& a, const DefinitionEntry& b) {
    EXPECT_EQ(a.address, b.address);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.widthText, b.widthText);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.flag4, b.flag4);
    EXPECT_EQ(a.text5, b.text5);
    EXPECT_EQ(a.text6, b.text6);
    EXPECT_EQ(a.number7, b.number7);
    EXPECT_EQ(a.text8, b.text8);
    EXPECT_EQ(a.text9, b.text9);
}

TEST(DefinitionEntry, CompleteLineFillsEveryField) {
    DefinitionEntry entry = Parsed("1000,Name,4,10,1,k,m,7,s,t,\n");
    EXPECT_EQ(entry.address, 0x1000u);
    EXPECT_EQ(entry.name, "Name");
    EXPECT_EQ(entry.widthText, "4");
    EXPECT_EQ(entry.size, 0x10u);
    EXPECT_EQ(entry.flag4, 1u);
    EXPECT_EQ(entry.text5, "k");
    EXPECT_EQ(entry.text6, "m");
    EXPECT_EQ(entry.number7, 7);
    EXPECT_EQ(entry.text8, "s");
    EXPECT_EQ(entry.text9, "t");
}

TEST(DefinitionEntry, OnlyCommaTerminatedTextIsAColumn) {
    DefinitionEntry entry = Parsed("1000,Name,4,10,1,k,m,7,s,t,\n");
    // Without its final comma the last column is not stored, and the line end never is.
    ASSERT_TRUE(entry.Parse("2000,Other,2,20,0,k2,m2,8,s2,t2\n"));
    EXPECT_EQ(entry.address, 0x2000u);
    EXPECT_EQ(entry.text8, "s2");
    EXPECT_EQ(entry.text9, "t");
    // An eleventh column changes nothing.
    DefinitionEntry before = entry;
    ASSERT_TRUE(entry.Parse("2000,Other,2,20,0,k2,m2,8,s2,t2,extra,\n"));
    EXPECT_EQ(entry.text9, "t2");
    before.text9 = "t2";
    ExpectSameFields(entry, before);
}

TEST(DefinitionEntry, MissingColumnsCarryOverFromTheEntrysEarlierValues) {
    // An empty line into a new entry: everything empty or 0, but the size rule makes size 1.
    DefinitionEntry fresh = Parsed("\n");
    ExpectSameFields(fresh, [] {
        DefinitionEntry expected;
        expected.size = 1;
        return expected;
    }());

    // An empty line or a line without commas into a used entry changes nothing, size included.
    DefinitionEntry entry = Parsed("1000,Name,4,10,1,k,m,7,s,t,\n");
    const DefinitionEntry previous = entry;
    ASSERT_TRUE(entry.Parse("\n"));
    ExpectSameFields(entry, previous);
    ASSERT_TRUE(entry.Parse("no commas here\n"));
    ExpectSameFields(entry, previous);

    // A short line updates its own columns only.
    ASSERT_TRUE(entry.Parse("1001,Next,\n"));
    EXPECT_EQ(entry.address, 0x1001u);
    EXPECT_EQ(entry.name, "Next");
    EXPECT_EQ(entry.widthText, "4");
    EXPECT_EQ(entry.size, 0x10u);
    EXPECT_EQ(entry.text9, "t");
}

TEST(DefinitionEntry, SizeRuleFillsAZeroSizeFromTheWidthText) {
    struct Case {
        std::string line;
        std::uint32_t size;
    };
    const Case cases[] = {
        {"0,a,4,,\n", 4}, {"0,a,4,0,\n", 4}, {"0,a,2,,\n", 2},   {"0,a,8,,\n", 8},
        {"0,a,1,,\n", 1}, {"0,a,0,,\n", 1},  {"0,a,-3,,\n", 1},  {"0,a,word,,\n", 1},
        {"0,a,,,\n", 1},  {"0,a,4,3,\n", 3}, {"0,a, 4x,,\n", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Parsed(c.line).size, c.size);
    }
    // The rule looks at the entry as the scan left it: an earlier width text still counts.
    DefinitionEntry entry = Parsed("0,a,4,,\n");
    entry.size = 0;
    ASSERT_TRUE(entry.Parse("1,b,\n"));
    EXPECT_EQ(entry.size, 4u);
}

TEST(DefinitionEntry, AddressColumnReadsHexadecimal) {
    struct Case {
        std::string column;
        std::uint32_t address;
    };
    const Case cases[] = {
        {"0x1A", 0x1A}, {" 1A", 0x1A}, {"1a", 0x1A}, {"1Aqrs", 0x1A}, {"-1", 0xFFFFFFFF}, {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        DefinitionEntry entry;
        entry.address = 0x1234;
        ASSERT_TRUE(entry.Parse(c.column + ",\n"));
        EXPECT_EQ(entry.address, c.address);
    }
}

TEST(DefinitionEntry, ConversionErrorStopsTheLineAndFails) {
    for (const std::string bad : {"   ", "xyz", "100000000"}) {
        SCOPED_TRACE(bad);
        DefinitionEntry entry;
        EXPECT_FALSE(entry.Parse(bad + ",Name,\n"));
        EXPECT_EQ(entry.name, "");
    }
    // Column 3: the columns before it are already stored, the later ones are not.
    DefinitionEntry entry;
    EXPECT_FALSE(entry.Parse("10,Name,4,zz,1,k,\n"));
    EXPECT_EQ(entry.address, 0x10u);
    EXPECT_EQ(entry.name, "Name");
    EXPECT_EQ(entry.widthText, "4");
    EXPECT_EQ(entry.flag4, 0u);
    EXPECT_EQ(entry.text5, "");
}

TEST(DefinitionEntry, FlagKeepsOnlyZeroOrOneAndNumberSevenIsAtoi) {
    struct Case {
        std::string column;
        std::uint32_t flag;
    };
    const Case flags[] = {{"1", 1}, {" 1", 1}, {"1x", 1}, {"0", 0}, {"2", 0}, {"-1", 0}, {"a", 0}, {"", 0}};
    for (const auto& c : flags) {
        SCOPED_TRACE(c.column);
        DefinitionEntry entry;
        entry.flag4 = 1;
        ASSERT_TRUE(entry.Parse("0,n,1,1," + c.column + ",\n"));
        EXPECT_EQ(entry.flag4, c.flag);
    }
    EXPECT_EQ(Parsed("0,n,1,1,0,a,b,-5,\n").number7, -5);
    EXPECT_EQ(Parsed("0,n,1,1,0,a,b,12abc,\n").number7, 12);
}

TEST(DefinitionEntry, TextColumnsKeepTheirBytes) {
    const std::string name = Sj(u8" 攻撃力 "); // 0x8D 0x55 ...: leading and trailing spaces kept
    const std::string text = Sj(u8"ソ能表\t"); // 0x5C trail bytes and a tab
    DefinitionEntry entry = Parsed("0," + name + ",4,4,0," + text + ",,0,a b," + Sj(u8"Ｘ") + ",\r\n");
    EXPECT_EQ(entry.name, name);
    EXPECT_EQ(entry.text5, text);
    EXPECT_EQ(entry.text6, "");
    EXPECT_EQ(entry.text8, "a b");
    EXPECT_EQ(entry.text9, Sj(u8"Ｘ"));
}

TEST(DefinitionEntry, ColumnOf1024BytesEndsTheLine) {
    const std::string name1023(1023, 'n');
    DefinitionEntry entry = Parsed("10," + name1023 + ",4,\n");
    EXPECT_EQ(entry.name, name1023);
    EXPECT_EQ(entry.widthText, "4");

    const std::string name1024(1024, 'n');
    entry = Parsed("10,old,2,\n");
    ASSERT_TRUE(entry.Parse("20," + name1024 + ",4,\n"));
    EXPECT_EQ(entry.address, 0x20u);
    EXPECT_EQ(entry.name, "old");
    EXPECT_EQ(entry.widthText, "2");
}

TEST(DefinitionEntry, NulEndsTheLine) {
    using namespace std::string_literals;
    DefinitionEntry entry = Parsed("10,Na\0me,4,\n"s);
    EXPECT_EQ(entry.address, 0x10u);
    EXPECT_EQ(entry.name, "");
    EXPECT_EQ(entry.widthText, "");
}

} // namespace
} // namespace dovra
