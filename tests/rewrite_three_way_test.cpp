// The three-way rewrite: with the unmodified old binary at hand, only the fields the user changed are
// carried into the new binary, whatever the update did to the others; a wrong base file is refused.
#include <gtest/gtest.h>

#include <array>

#include "rewrite/three_way_walk.h"
#include "support/rewrite_fixture.h"

namespace dovra::test {
namespace {

using namespace std::string_view_literals;
using Lines = std::vector<std::string>;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(MergeField, EachOfTheFiveCasesAtEveryWidth) {
    struct Case {
        std::string_view base, user, now;
        FieldMerge expected;
    };
    // The same five situations for 1-, 2- and 4-byte fields; a difference in any one byte counts.
    const std::array cases{
        Case{"\x01", "\x01", "\x01", FieldMerge::kUntouched},
        Case{"\x01", "\x01", "\x07", FieldMerge::kUntouched},
        Case{"\x01", "\x02", "\x01", FieldMerge::kTakeUser},
        Case{"\x01", "\x02", "\x02", FieldMerge::kSameChange},
        Case{"\x01", "\x02", "\x03", FieldMerge::kConflict},
        Case{"\x01\x10", "\x01\x10", "\x01\x10", FieldMerge::kUntouched},
        Case{"\x01\x10", "\x01\x10", "\x01\x11", FieldMerge::kUntouched},
        Case{"\x01\x10", "\x01\x20", "\x01\x10", FieldMerge::kTakeUser},
        Case{"\x01\x10", "\x01\x20", "\x01\x20", FieldMerge::kSameChange},
        // The update changed the byte the user left alone: still both changed the field, differently.
        Case{"\x01\x10", "\x01\x20", "\x02\x10", FieldMerge::kConflict},
        Case{"\x78\x56\x34\x12", "\x78\x56\x34\x12", "\x78\x56\x34\x12", FieldMerge::kUntouched},
        Case{"\x78\x56\x34\x12", "\x78\x56\x34\x12", "\x00\x00\x00\x80", FieldMerge::kUntouched},
        Case{"\x78\x56\x34\x12", "\x79\x56\x34\x12", "\x78\x56\x34\x12", FieldMerge::kTakeUser},
        Case{"\x78\x56\x34\x12", "\x79\x56\x34\x12", "\x79\x56\x34\x12", FieldMerge::kSameChange},
        Case{"\x78\x56\x34\x12", "\x79\x56\x34\x12", "\x79\x56\x34\x13", FieldMerge::kConflict},
    };
    for (const Case& c : cases) {
        auto base = Bytes(c.base);
        auto user = Bytes(c.user);
        auto now = Bytes(c.now);
        EXPECT_EQ(MergeField(base, user, now), c.expected) << "field of " << base.size() << " bytes";
    }
}

class ThreeWayRewrite : public RewriteFixture {
protected:
    // The user's old binary is old.bin; the unmodified one base.bin.
    bool RunWithBase(std::string_view base, std::string_view oldBinary, std::string_view newBinary) {
        WriteBinaries(oldBinary, newBinary);
        WriteBytes(dir.Native(u8"base.bin"), base);
        Load();
        EXPECT_TRUE(engine.LoadBaseBinary(dir.Cp932(u8"base.bin")));
        return engine.Rewrite();
    }

    std::string Summary(int carried, int fields, int conflicts, int skipped, int errors) const {
        return fmt::format(fmt::runtime(Sj(u8"自分の変更を書き写したテーブル: {:d}、書き換えた項目: {:d}、競合: {:d}、"
                                           u8"スキップしたテーブル: {:d}（うちエラー: {:d}）")),
                           carried, fields, conflicts, skipped, errors);
    }
};

TEST_F(ThreeWayRewrite, OnlyTheUsersChangesAreCarriedAndConflictsShowAllThreeValues) {
    // base:   HP 12345678, MP 1000, Lv 05, St 01 | offsets 8 and 9 AA BB
    // user:   HP changed (conflict), MP changed (update did not), Lv unchanged, St same change | AA CC
    // update: HP changed otherwise, MP as base, Lv changed (kept), St same as user | AA DD (conflict, 1 byte)
    std::string_view base = "\x78\x56\x34\x12\x00\x10\x05\x01\xAA\xBB"sv;
    std::string_view user = "\x79\x56\x34\x12\x00\x20\x05\x09\xAA\xCC"sv;
    std::string_view now = "\x78\x56\x34\x13\x00\x10\x06\x09\xAA\xDD"sv;
    std::string_view merged = "\x79\x56\x34\x12\x00\x20\x06\x09\xAA\xCC"sv;
    // Records of 10 bytes: a 4-byte, a 2-byte and 1-byte fields, and a 4-byte field at offset 8 that
    // straddles the region's end and is taken byte by byte.
    WriteTable(u8"old", u8"表", DefinitionLine(0x10, "X", "1", "A"), Sj(u8"剣\n"));
    WriteTable(u8"new", u8"表",
               DefinitionLine(0x20, "HP", "4", "A") + DefinitionLine(0x21, "x", "1") + DefinitionLine(0x22, "x", "1") +
                   DefinitionLine(0x23, "x", "1") + DefinitionLine(0x24, "MP", "2") + DefinitionLine(0x25, "x", "1") +
                   DefinitionLine(0x26, "Lv", "1") + DefinitionLine(0x27, "St", "1") +
                   DefinitionLine(0x28, "Tail", "4") + DefinitionLine(0x29, "T2", "1"),
               Sj(u8"剣"));
    std::string newBinary = Image(0x40, 0x20, now);
    EXPECT_TRUE(RunWithBase(Image(0x30, 0x10, base), Image(0x30, 0x10, user), newBinary));

    // The question counts the user's changed bytes, not every byte that differs from the new binary.
    EXPECT_EQ(channels.questions,
              (Lines{Sj(u8"表のデータに、自分で変更した部分が4/10 Byteあります。書き写しますか？"), OutputNotice()}));
    EXPECT_EQ(channels.log,
              (Lines{Sj(u8"表"), Sj(u8"　ADDR:00000010 -> 00000020"), Sj(u8"　size:10 -> 10"),
                     Sj(u8"　[00000020]:剣のHPは更新でも変わっています 13345678 -> 12345679（元 12345678）"),
                     Sj(u8"　[00000024]:剣のMPを書き換え 1000 -> 2000"),
                     Sj(u8"　[00000029]:剣のT2は更新でも変わっています DD -> CC（元 BB）"), "", Summary(1, 3, 2, 0, 0),
                     OutputNotice()}));
    EXPECT_EQ(Output(), Image(0x40, 0x20, merged));
    ASSERT_EQ(engine.LastRewrite().size(), 1u);
    const RewriteOutcome& outcome = engine.LastRewrite()[0];
    EXPECT_EQ(outcome.name, Sj(u8"表"));
    EXPECT_EQ(outcome.outcome, TableOutcome::kRewritten);
    EXPECT_EQ(outcome.fieldsWritten, 3u);
    EXPECT_EQ(outcome.conflicts, 2u);
    EXPECT_EQ((std::array{outcome.oldAddress, outcome.newAddress, outcome.oldSize, outcome.newSize}),
              (std::array{0x10u, 0x20u, 10u, 10u}));
    // Inputs stay as they were.
    EXPECT_EQ(ReadBytes(dir.Native(u8"base.bin")), Image(0x30, 0x10, base));
    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin")), newBinary);
}

TEST_F(ThreeWayRewrite, TablesTheUserDidNotEditAskNothingWhateverTheUpdateDid) {
    WriteTable(u8"old", u8"A", DefinitionLine(0x00, "X", "1", "4"), "a\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x10, "X", "1", "4"), "a\n");
    WriteTable(u8"old", u8"B", DefinitionLine(0x04, "X", "1", "4"), "b\n"); // gone from the new folder
    // Edited, but the update made exactly the user's change: nothing to ask.
    WriteTable(u8"old", u8"C", DefinitionLine(0x08, "X", "1", "2"), "c\n");
    WriteTable(u8"new", u8"C", DefinitionLine(0x18, "X", "1", "2"), "c\n");
    // Edited, answered no.
    WriteTable(u8"old", u8"D", DefinitionLine(0x0A, "X", "1", "2"), "d\n");
    WriteTable(u8"new", u8"D", DefinitionLine(0x1A, "X", "1", "2"), "d\n");
    std::string base = Image(0x10, 0, "\x01\x02\x03\x04\x05\x06\x07\x08\x11\x12\x21\x22");
    std::string user = Image(0x10, 0, "\x01\x02\x03\x04\x05\x06\x07\x08\x11\x99\x21\x55");
    std::string now = Image(0x20, 0x10, "\x09\x09\x09\x09");
    now.replace(0x18, 4, "\x11\x99\x21\x22");
    channels.answers = {false};
    EXPECT_TRUE(RunWithBase(base, user, now));

    EXPECT_EQ(channels.questions,
              (Lines{Sj(u8"Dのデータに、自分で変更した部分が1/2 Byteあります。書き写しますか？"), OutputNotice()}));
    EXPECT_EQ(channels.log, (Lines{"A",
                                   Sj(u8"　ADDR:00000000 -> 00000010"),
                                   Sj(u8"　size:4 -> 4"),
                                   Sj(u8"　変更なし"),
                                   "",
                                   "B",
                                   Sj(u8"　ADDR:00000004 -> 00000000"),
                                   Sj(u8"　size:4 -> 0"),
                                   Sj(u8"　変更なし"),
                                   "",
                                   "C",
                                   Sj(u8"　ADDR:00000008 -> 00000018"),
                                   Sj(u8"　size:2 -> 2"),
                                   Sj(u8"　新旧データ一致 "),
                                   "",
                                   "D",
                                   Sj(u8"　ADDR:0000000A -> 0000001A"),
                                   Sj(u8"　size:2 -> 2"),
                                   "",
                                   Summary(0, 0, 0, 1, 0),
                                   OutputNotice()}));
    EXPECT_EQ(Output(), now);
    std::vector<TableOutcome> outcomes;
    for (const auto& outcome : engine.LastRewrite()) {
        outcomes.push_back(outcome.outcome);
    }
    EXPECT_EQ(outcomes, (std::vector{TableOutcome::kUnchanged, TableOutcome::kUnchanged, TableOutcome::kMatch,
                                     TableOutcome::kSkipped}));
}

TEST_F(ThreeWayRewrite, DifferingSizesWalkTheRecordsBothHaveWhenRecordsMatch) {
    // Same 2-byte records, the new table one record shorter: the last old record's edit has nowhere to go.
    WriteTable(u8"old", u8"Grow", DefinitionLine(0x00, "X", "1", "2"), "r0\nr1\nr2\n");
    WriteTable(u8"new", u8"Grow", DefinitionLine(0x10, "V", "1", "2"), "n0\nn1\n");
    // Records of another size: positions mean other fields, so the plain question is asked.
    WriteTable(u8"old", u8"Other", DefinitionLine(0x08, "X", "1", "2"), "r0\nr1\n");
    WriteTable(u8"new", u8"Other", DefinitionLine(0x18, "X", "1", "3"), "n0\n");
    std::string base = Image(0x10, 0, "\x01\x02\x03\x04\x05\x06\x00\x00\x0A\x0B\x0C\x0D"sv);
    std::string user = Image(0x10, 0, "\x01\x02\x33\x04\x55\x06\x00\x00\x0A\x0B\x0C\x0E"sv);
    std::string now = Image(0x20, 0x10, "\x01\x02\x03\x44");
    now.replace(0x18, 3, "\x0A\x0B\x0F");
    EXPECT_TRUE(RunWithBase(base, user, now));

    EXPECT_EQ(channels.questions, (Lines{Sj(u8"Growのデータに、自分で変更した部分が1/4 Byteあります。書き写しますか？"),
                                         Sj(u8"Otherの領域サイズが違いますが上書きしますか？"), OutputNotice()}));
    EXPECT_EQ(channels.log,
              (Lines{"Grow", Sj(u8"　ADDR:00000000 -> 00000010"), Sj(u8"　size:6 -> 4"),
                     Sj(u8"　新しいテーブルにないレコードでの変更1 Byteは書き写しません"),
                     Sj(u8"　[00000012]:n1\nのVを書き換え 03 -> 33"), "", "Other", Sj(u8"　ADDR:00000008 -> 00000018"),
                     Sj(u8"　size:4 -> 3"), Sj(u8"　レコードサイズが違うため、項目ごとに自分の変更を選び出せません"),
                     "", Summary(2, 1, 0, 0, 0), OutputNotice()}));
    std::string expected = now;
    expected.replace(0x12, 1, "\x33");
    expected.replace(0x18, 3, "\x0A\x0B\x0C"); // the common 3 bytes of the user's table, as today
    EXPECT_EQ(Output(), expected);
}

TEST_F(ThreeWayRewrite, ARecordSizeThatChangedIsWalkedAsTheNewLayoutNamesIt) {
    // Old records of 2 bytes (two of them) against one new record of 4 with a 2-byte MP at offset 2: the
    // user's change at bytes 2 and 3 is MP of the one record, not offset 0 of a second record.
    WriteTable(u8"old", u8"T", DefinitionLine(0x00, "X", "1", "2"), "r0\nr1\n");
    WriteTable(u8"new", u8"T",
               DefinitionLine(0x10, "W", "1", "4") + DefinitionLine(0x11, "x", "1") + DefinitionLine(0x12, "MP", "2") +
                   DefinitionLine(0x13, "y", "1"),
               "only\n");
    std::string base = Image(0x10, 0, "\x01\x02\x03\x04"sv);
    std::string user = Image(0x10, 0, "\x01\x02\x33\x44"sv);
    std::string now = Image(0x20, 0x10, "\x01\x02\x03\x04"sv);
    EXPECT_TRUE(RunWithBase(base, user, now));

    EXPECT_EQ(channels.log, (Lines{"T", Sj(u8"　ADDR:00000000 -> 00000010"), Sj(u8"　size:4 -> 4"),
                                   Sj(u8"　レコードサイズが2から4に変わったため、更新後の定義で項目を数えます"),
                                   Sj(u8"　[00000012]:only\nのMPを書き換え 0403 -> 4433"), "", Summary(1, 1, 0, 0, 0),
                                   OutputNotice()}));
    std::string expected = now;
    expected.replace(0x12, 2, "\x33\x44");
    EXPECT_EQ(Output(), expected);
}

TEST_F(ThreeWayRewrite, ABaseThatIsNotTheOldBinaryIsRefusedBeforeAnythingIsWritten) {
    WriteTable(u8"old", u8"A", DefinitionLine(0x00, "X", "1", "4"), "a\n");
    WriteTable(u8"old", u8"B", DefinitionLine(0x04, "X", "1", "4"), "b\n");
    WriteTable(u8"old", u8"C", DefinitionLine(0x08, "X", "1", "4"), "c\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x00, "X", "1", "4"), "a\n");
    const std::string user = Image(0x20, 0, "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C");
    WriteBinaries(user, Image(0x20));
    Load();

    // Too short for table C.
    WriteBytes(dir.Native(u8"short.bin"), user.substr(0, 0x0B));
    EXPECT_FALSE(engine.LoadBaseBinary(dir.Cp932(u8"short.bin")));
    EXPECT_EQ(channels.messages,
              (Lines{Sj(u8"Cのデータ（00000008から4 Byte）が無改造の旧バイナリファイルに収まりません。"
                        u8"無改造の旧バイナリファイルとして正しいファイルを選んでいるか確かめてください。")}));
    EXPECT_FALSE(engine.BaseImage().IsLoaded());

    // Two of three tables differ in more than half their bytes.
    channels.messages.clear();
    WriteBytes(dir.Native(u8"other.bin"), Image(0x20, 0, "\x01\x02\x03\x04\x55\x66\x77\x08\x99\xAA\xBB\xCC"));
    EXPECT_FALSE(engine.LoadBaseBinary(dir.Cp932(u8"other.bin")));
    EXPECT_EQ(channels.messages,
              (Lines{Sj(u8"無改造の旧バイナリファイルが旧バイナリファイルと大きく違います"
                        u8"（3個のテーブルのうち2個でデータの半分を超える部分が違います）。"
                        u8"無改造の旧バイナリファイルとして正しいファイルを選んでいるか確かめてください。")}));

    // One heavily edited table of three, in a base of another size, is an ordinary edit.
    channels.messages.clear();
    WriteBytes(dir.Native(u8"base.bin"), Image(0x0C, 0, "\x01\x02\x03\x04\x55\x66\x77\x08\x09\x0A\x0B\x0C"));
    EXPECT_TRUE(engine.LoadBaseBinary(dir.Cp932(u8"base.bin")));
    EXPECT_EQ(channels.messages, Lines{});

    // A missing file gives the load's own message; the front end adds the one naming the file.
    EXPECT_FALSE(engine.LoadBaseBinary(dir.Cp932(u8"missing.bin")));
    EXPECT_EQ(channels.messages, Lines{Sj(u8"ファイルを開けませんでした。（見つかりません）")});
    EXPECT_FALSE(engine.BaseImage().IsLoaded());
    EXPECT_EQ(engine.BaseBinaryPath(), dir.Cp932(u8"missing.bin"));
}

TEST_F(ThreeWayRewrite, WithoutABaseTheRewriteIsThePlainOne) {
    WriteTable(u8"old", u8"A", DefinitionLine(0x00, "X", "1", "2"), "a\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x10, "X", "1", "2"), "a\n");
    std::string user = Image(0x10, 0, "\x01\x02");
    std::string now = Image(0x20, 0x10, "\x01\x07");
    // The base from an earlier click is forgotten.
    EXPECT_TRUE(RunWithBase(user, user, now));
    channels.log.clear();
    channels.questions.clear();
    engine.ClearBaseBinary();
    Load();
    EXPECT_TRUE(engine.Rewrite());

    EXPECT_EQ(channels.questions,
              (Lines{Sj(u8"Aのデータに1/2 Byteの違いがあります。上書きしますか？"), OutputNotice()}));
    EXPECT_EQ(channels.log, (Lines{"A", Sj(u8"　ADDR:00000000 -> 00000010"), Sj(u8"　size:2 -> 2"),
                                   Sj(u8"　[00000011]:a\nのを書き換え 07 -> 02"), "", OutputNotice()}));
    ASSERT_EQ(engine.LastRewrite().size(), 1u);
    EXPECT_EQ(engine.LastRewrite()[0].outcome, TableOutcome::kRewritten);
    EXPECT_EQ(engine.LastRewrite()[0].fieldsWritten, 1u);
}

TEST_F(ThreeWayRewrite, TheOutputNeverReplacesTheBaseBinary) {
    WriteTable(u8"old", u8"A", DefinitionLine(0x00, "X", "1", "2"), "a\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x00, "X", "1", "2"), "a\n");
    std::string user = Image(0x10, 0, "\x01\x02");
    WriteBinaries(user, user);
    // The base picked from where this run writes (an earlier output).
    WriteBytes(dir.Native(u8"new.bin.new"), user);
    Load();
    ASSERT_TRUE(engine.LoadBaseBinary(dir.Cp932(u8"new.bin.new")));
    EXPECT_FALSE(engine.Rewrite());
    EXPECT_EQ(channels.log.back(), FailureNotice());
    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin.new")), user);
}

} // namespace
} // namespace dovra::test
