// The rewrite command's table loop: which tables are visited in which order, the range tests, the
// comparisons and the questions, as the log and the output file show them.
#include <gtest/gtest.h>

#include "support/rewrite_fixture.h"

namespace dovra::test {
namespace {

using namespace std::string_view_literals;
using Lines = std::vector<std::string>;

using RewriteTables = RewriteFixture;

TEST_F(RewriteTables, MatchingDataAreReportedAndTheOutputIsACopy) {
    WriteTable(u8"old", u8"A", DefinitionLine(0x10, "HP", "4", "4"), "one\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x20, "HP", "4", "4"), "one\n");
    // Both regions end exactly at their image's last byte, which is still inside.
    std::string newBinary = Image(0x24, 0x20, "\x01\x02\x03\x04");
    EXPECT_TRUE(Run(Image(0x14, 0x10, "\x01\x02\x03\x04"), newBinary));

    EXPECT_EQ(channels.log, (Lines{"A", Sj(u8"　ADDR:00000010 -> 00000020"), Sj(u8"　size:4 -> 4"),
                                   Sj(u8"　新旧データ一致 "), "", OutputNotice()}));
    EXPECT_EQ(channels.questions, Lines{OutputNotice()});
    EXPECT_EQ(Output(), newBinary);
}

TEST_F(RewriteTables, DifferingDataAnsweredNoStayAsTheyWere) {
    WriteTable(u8"old", u8"A", DefinitionLine(0x10, "HP", "4", "4"), "one\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x20, "HP", "4", "4"), "one\n");
    std::string newBinary = Image(0x30, 0x20, "\x01\x02\x03\x04");
    channels.answers = {false};
    EXPECT_TRUE(Run(Image(0x20, 0x10, "\x01\x09\x03\x09"), newBinary));

    EXPECT_EQ(channels.questions,
              (Lines{Sj(u8"Aのデータに2/4 Byteの違いがあります。上書きしますか？"), OutputNotice()}));
    EXPECT_EQ(channels.log,
              (Lines{"A", Sj(u8"　ADDR:00000010 -> 00000020"), Sj(u8"　size:4 -> 4"), "", OutputNotice()}));
    EXPECT_EQ(Output(), newBinary);
}

TEST_F(RewriteTables, TablesMissingFromTheNewFolderAreReportedInByteOrderOfTheirNames) {
    WriteTable(u8"old", u8"表", DefinitionLine(0x10, "X", "1", "4"), "one\n");
    WriteTable(u8"old", u8"B", DefinitionLine(0x10, "X", "1", "4"), "one\n");
    WriteTable(u8"old", u8"C", DefinitionLine(0x10, "X", "1", "4"), ""); // size 0 on both sides: a match
    WriteTable(u8"old", u8"E", DefinitionLine(0x10, "X", "1", "4"), "one\n");
    WriteTable(u8"new", u8"E", DefinitionLine(0x20, "X", "1", "4"), "");      // exists, but holds no record
    WriteTable(u8"new", u8"N", DefinitionLine(0x20, "X", "1", "4"), "one\n"); // only new: never visited
    std::string newBinary = Image(0x30, 0x20, "\x05");
    EXPECT_TRUE(Run(Image(0x20), newBinary));

    EXPECT_EQ(channels.log, (Lines{"B",
                                   Sj(u8"　ADDR:00000010 -> 00000000"),
                                   Sj(u8"　size:4 -> 0"),
                                   Sj(u8"　更新後のB.iniが存在しません。"),
                                   "",
                                   "C",
                                   Sj(u8"　ADDR:00000010 -> 00000000"),
                                   Sj(u8"　size:0 -> 0"),
                                   Sj(u8"　新旧データ一致 "),
                                   "",
                                   "E",
                                   Sj(u8"　ADDR:00000010 -> 00000020"),
                                   Sj(u8"　size:4 -> 0"),
                                   Sj(u8"　更新後のE.iniが存在しません。"),
                                   "",
                                   Sj(u8"表"),
                                   Sj(u8"　ADDR:00000010 -> 00000000"),
                                   Sj(u8"　size:4 -> 0"),
                                   Sj(u8"　更新後の表.iniが存在しません。"),
                                   "",
                                   OutputNotice()}));
    EXPECT_EQ(Output(), newBinary);
    // The lookups leave the missing names in the new maps with empty values until the next load.
    ASSERT_TRUE(engine.NewSummaries().contains("B"));
    EXPECT_EQ(engine.NewSummaries().at("B").name, "");
    EXPECT_EQ(engine.NewSummaries().at("B").tableSize, 0u);
}

TEST_F(RewriteTables, RegionsBeyondTheirImageAreSkippedWithTheErrorLine) {
    WriteTable(u8"old", u8"a", DefinitionLine(0x1C, "X", "1", "8"), "one\n"); // old region ends past 0x20
    WriteTable(u8"new", u8"a", DefinitionLine(0x00, "X", "1", "8"), "one\n");
    WriteTable(u8"old", u8"b", DefinitionLine(0x00, "X", "1", "8"), "one\n");
    WriteTable(u8"new", u8"b", DefinitionLine(0x2C, "X", "1", "8"), "one\n"); // new region ends past 0x30
    // The end wraps around 32 bits to 8, which only a 64-bit sum sees as past the image.
    WriteTable(u8"old", u8"c", DefinitionLine(0x00, "X", "1", "10"), "one\n");
    WriteTable(u8"new", u8"c", DefinitionLine(0xFFFFFFF8, "X", "1", "10"), "one\n");
    std::string newBinary = Image(0x30, 0, "\x01\x02\x03");
    EXPECT_TRUE(Run(Image(0x20, 0, "\x09\x09\x09"), newBinary));

    const std::string error = Sj(u8"　エラー: アドレスがファイルサイズを超えます。\r\n");
    EXPECT_EQ(channels.log,
              (Lines{"a", Sj(u8"　ADDR:0000001C -> 00000000"), Sj(u8"　size:8 -> 8"), error, "b",
                     Sj(u8"　ADDR:00000000 -> 0000002C"), Sj(u8"　size:8 -> 8"), error, "c",
                     Sj(u8"　ADDR:00000000 -> FFFFFFF8"), Sj(u8"　size:16 -> 16"), error, OutputNotice()}));
    EXPECT_EQ(channels.questions, Lines{OutputNotice()});
    EXPECT_EQ(Output(), newBinary);
}

TEST_F(RewriteTables, DifferentSizesCopyOnlyTheBytesBothRegionsHold) {
    // Old tables at 0x00 (8 bytes or 4), new ones at 0x10 in their own 0x10-byte slot of new.bin.
    WriteTable(u8"old", u8"big", DefinitionLine(0x00, "X", "1", "4"), "r0\nr1\n");
    WriteTable(u8"new", u8"big", DefinitionLine(0x10, "X", "1", "4"), "r0\n");
    WriteTable(u8"old", u8"small", DefinitionLine(0x00, "X", "1", "4"), "r0\n");
    WriteTable(u8"new", u8"small", DefinitionLine(0x20, "X", "1", "4"), "r0\nr1\n");
    WriteTable(u8"old", u8"refused", DefinitionLine(0x00, "X", "1", "4"), "r0\n");
    WriteTable(u8"new", u8"refused", DefinitionLine(0x30, "X", "1", "4"), "r0\nr1\n");
    WriteTable(u8"old", u8"same", DefinitionLine(0x08, "X", "1", "4"), "r0\nr1\n");
    WriteTable(u8"new", u8"same", DefinitionLine(0x40, "X", "1", "4"), "r0\n");
    std::string oldBinary = Image(0x10, 0, "\x11\x12\x13\x14\x15\x16\x17\x18\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8");
    std::string newBinary = Image(0x50);
    newBinary.replace(0x10, 8, "\x01\x02\x03\x04\xEE\xEE\xEE\xEE"sv); // bytes after "big"'s 4 must stay
    newBinary.replace(0x20, 8, "\x01\x02\x03\x04\x05\x06\x07\x08"sv); // "small": only the first 4 change
    newBinary.replace(0x30, 8, "\x01\x02\x03\x04\x05\x06\x07\x08"sv);
    newBinary.replace(0x40, 4, "\xA1\xA2\xA3\xA4"sv); // "same": equal as far as both go
    channels.answers = {true, false, true};
    EXPECT_TRUE(Run(oldBinary, newBinary));

    EXPECT_EQ(channels.questions, (Lines{Sj(u8"bigの領域サイズが違いますが上書きしますか？"),
                                         Sj(u8"refusedの領域サイズが違いますが上書きしますか？"),
                                         Sj(u8"smallの領域サイズが違いますが上書きしますか？"), OutputNotice()}));
    EXPECT_EQ(channels.log,
              (Lines{"big", Sj(u8"　ADDR:00000000 -> 00000010"), Sj(u8"　size:8 -> 4"), "", "refused",
                     Sj(u8"　ADDR:00000000 -> 00000030"), Sj(u8"　size:4 -> 8"), "", "same",
                     Sj(u8"　ADDR:00000008 -> 00000040"), Sj(u8"　size:8 -> 4"), Sj(u8"　新旧データ一致 "), "", "small",
                     Sj(u8"　ADDR:00000000 -> 00000020"), Sj(u8"　size:4 -> 8"), "", OutputNotice()}));
    std::string expected = newBinary;
    expected.replace(0x10, 4, "\x11\x12\x13\x14"sv);
    expected.replace(0x20, 4, "\x11\x12\x13\x14"sv);
    EXPECT_EQ(Output(), expected);
}

TEST_F(RewriteTables, WithoutOldTablesOnlyTheOutputIsWritten) {
    std::filesystem::create_directories(dir.Native(u8"old"));
    WriteTable(u8"new", u8"A", DefinitionLine(0x00, "X", "1", "4"), "one\n");
    EXPECT_TRUE(Run(Image(0x10), Image(0x10, 0, "\x01")));
    EXPECT_EQ(channels.log, Lines{OutputNotice()});
    EXPECT_EQ(Output(), Image(0x10, 0, "\x01"));
}

} // namespace
} // namespace dovra::test
