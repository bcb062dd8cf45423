// The field-by-field rewrite: widths from the new definition file, names from the new settings folder,
// little-endian values, and a walk that stays inside its lists and images whatever the files say.
#include <gtest/gtest.h>

#include "support/rewrite_fixture.h"

namespace dovra::test {
namespace {

using namespace std::string_view_literals;
using Lines = std::vector<std::string>;

using RewriteFields = RewriteFixture;

TEST_F(RewriteFields, DifferingFieldsAreWrittenWithOneLineEach) {
    WriteTable(u8"old", u8"表", DefinitionLine(0x10, "X", "1", "8"), "a\nb\n");
    // Offsets 1 to 3 belong to the 4-byte field at 0 and are never read; "04" and "4 " are 1-byte widths.
    WriteTable(u8"new", u8"表",
               DefinitionLine(0x20, Sj(u8"体力"), "4", "8") + DefinitionLine(0x21, "x1", "2") +
                   DefinitionLine(0x22, "x2", "2") + DefinitionLine(0x23, "x3", "2") + DefinitionLine(0x24, "MP", "2") +
                   DefinitionLine(0x25, "x5", "2") + DefinitionLine(0x26, "Lv", "04") + DefinitionLine(0x27, "", "4 "),
               Sj(u8"剣\n盾"));
    std::string_view oldRecords = "\x78\x56\x34\x12\xCD\xAB\x07\x01"
                                  "\x00\x00\x00\x00\x34\x12\x00\x00"sv;
    std::string_view newRecords = "\x78\x56\x34\x00\xCD\xAB\x05\x02"
                                  "\x00\x00\x00\x00\x00\x00\x00\x00"sv;
    std::string oldBinary = Image(0x30, 0x10, oldRecords);
    std::string newBinary = Image(0x40, 0x20, newRecords);
    EXPECT_TRUE(Run(oldBinary, newBinary));

    // One byte of the 4-byte value differs: one line, counted once in the question.
    EXPECT_EQ(channels.questions,
              (Lines{Sj(u8"表のデータに5/16 Byteの違いがあります。上書きしますか？"), OutputNotice()}));
    EXPECT_EQ(channels.log,
              (Lines{Sj(u8"表"), Sj(u8"　ADDR:00000010 -> 00000020"), Sj(u8"　size:16 -> 16"),
                     Sj(u8"　[00000020]:剣\nの体力を書き換え 00345678 -> 12345678"),
                     Sj(u8"　[00000026]:剣\nのLvを書き換え 05 -> 07"), Sj(u8"　[00000027]:剣\nのを書き換え 02 -> 01"),
                     Sj(u8"　[0000002C]:盾のMPを書き換え 0000 -> 1234"), "", OutputNotice()}));
    EXPECT_EQ(Output(), Image(0x40, 0x20, oldRecords));
    // The inputs stay as they were on disk; the engine's new image holds the rewritten bytes.
    EXPECT_EQ(ReadBytes(dir.Native(u8"old.bin")), oldBinary);
    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin")), newBinary);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(engine.NewImage().data.get()), engine.NewImage().size),
              Image(0x40, 0x20, oldRecords));
}

TEST_F(RewriteFields, ARecordSizeThatChangedIsWalkedAsTheNewLayoutNamesIt) {
    // Old records of 2 bytes against new ones of 4: the walk counts the new layout's records, so the one
    // record "only" covers all four bytes, and W names offset 0 alone.
    WriteTable(u8"old", u8"narrow", DefinitionLine(0x00, "X", "1", "2"), "r0\nr1\n");
    WriteTable(u8"new", u8"narrow", DefinitionLine(0x10, "W", "1", "4"), "only\n");
    // Old records of 4 bytes against new ones of 2: two new records p and q, each with V at offset 0 and
    // a 2-byte field at offset 1 that would reach into the next record without its own line.
    WriteTable(u8"old", u8"wide", DefinitionLine(0x04, "X", "1", "4"), "r0\n");
    WriteTable(u8"new", u8"wide", DefinitionLine(0x18, "V", "1", "2") + DefinitionLine(0x19, "S", "1"), "p\nq\n");
    // Wide fields that would reach past the region's end are taken byte by byte; record sizes agree here.
    WriteTable(u8"old", u8"tail", DefinitionLine(0x08, "X", "1", "3"), "r0\n");
    WriteTable(u8"new", u8"tail",
               DefinitionLine(0x20, "A", "1", "3") + DefinitionLine(0x21, "B", "4") + DefinitionLine(0x22, "C", "2"),
               "t\n");
    EXPECT_TRUE(Run(Image(0x10, 0, "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B"), Image(0x24)));

    EXPECT_EQ(channels.log, (Lines{"narrow",
                                   Sj(u8"　ADDR:00000000 -> 00000010"),
                                   Sj(u8"　size:4 -> 4"),
                                   Sj(u8"　レコードサイズが2から4に変わったため、更新後の定義で項目を数えます"),
                                   Sj(u8"　[00000010]:only\nのWを書き換え 00 -> 01"),
                                   Sj(u8"　[00000011]:only\nのを書き換え 00 -> 02"),
                                   Sj(u8"　[00000012]:only\nのを書き換え 00 -> 03"),
                                   Sj(u8"　[00000013]:only\nのを書き換え 00 -> 04"),
                                   "",
                                   "tail",
                                   Sj(u8"　ADDR:00000008 -> 00000020"),
                                   Sj(u8"　size:3 -> 3"),
                                   Sj(u8"　[00000020]:t\nのAを書き換え 00 -> 09"),
                                   Sj(u8"　[00000021]:t\nのBを書き換え 00 -> 0A"),
                                   Sj(u8"　[00000022]:t\nのCを書き換え 00 -> 0B"),
                                   "",
                                   "wide",
                                   Sj(u8"　ADDR:00000004 -> 00000018"),
                                   Sj(u8"　size:4 -> 4"),
                                   Sj(u8"　レコードサイズが4から2に変わったため、更新後の定義で項目を数えます"),
                                   Sj(u8"　[00000018]:p\nのVを書き換え 00 -> 05"),
                                   Sj(u8"　[00000019]:p\nのSを書き換え 00 -> 06"),
                                   Sj(u8"　[0000001A]:q\nのVを書き換え 00 -> 07"),
                                   Sj(u8"　[0000001B]:q\nのSを書き換え 00 -> 08"),
                                   "",
                                   OutputNotice()}));
    std::string expected = Image(0x24);
    expected.replace(0x10, 4, "\x01\x02\x03\x04"sv);
    expected.replace(0x18, 4, "\x05\x06\x07\x08"sv);
    expected.replace(0x20, 3, "\x09\x0A\x0B"sv);
    EXPECT_EQ(Output(), expected);
}

} // namespace
} // namespace dovra::test
