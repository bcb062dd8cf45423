#include <gtest/gtest.h>

#include <fmt/format.h>
#include <fmt/printf.h>

#include <map>
#include <string>
#include <vector>

#include "definitions/definition_table.h"
#include "engine/path_text.h"
#include "engine/texts.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::Sj;
using test::TempDir;
using test::WriteBytes;

// A name list that is not there, as the message says it.
const std::string kNameListMissing = std::string(text::kNameListOpenFailed) + Sj(u8"（見つかりません）");

class DefinitionTableTest : public ::testing::Test {
protected:
    // Loads `file` (relative to the temporary folder) into a new table.
    TableLoadStatus Load(std::u8string_view file) {
        table = DefinitionTable();
        return table.Load(dir.Cp932(file));
    }
    std::string OutsideMessage(std::string_view tableName, std::string_view fieldName) const {
        return fmt::sprintf(text::kFieldOutsideRecord, std::string(tableName), std::string(fieldName));
    }

    TempDir dir;
    CDefinitionUpdater engine;
    test::CapturedChannels channels{engine};
    DefinitionTable table;
};

// Sixteen lines, one per byte of a 16-byte record at 2000.
std::string SixteenByteRecord() {
    std::string text;
    for (unsigned k = 0; k < 16; ++k) {
        text += fmt::format("{:X},f{},1,{},0,,,0,,,\r\n", 0x2000 + k, k, k == 0 ? "10" : "");
    }
    return text;
}

TEST_F(DefinitionTableTest, LoadsRecordLayoutNamesAndSize) {
    WriteBytes(dir.Native(u8"t.ini"), SixteenByteRecord());
    WriteBytes(dir.Native(u8"t.idn"), "r0\r\nr1\r\nr2\r\n");
    ASSERT_EQ(Load(u8"t.ini"), TableLoadStatus::Loaded);
    EXPECT_EQ(table.name, "t");
    EXPECT_EQ(table.baseAddress, 0x2000u);
    EXPECT_EQ(table.recordSize, 0x10u);
    EXPECT_EQ(table.entries.size(), 16u);
    ASSERT_EQ(table.fieldNames.size(), 16u);
    for (unsigned k = 0; k < 16; ++k) {
        EXPECT_EQ(table.fieldNames.at(k), fmt::format("f{}", k));
    }
    EXPECT_EQ(table.recordNames, (std::vector<std::string>{"r0\n", "r1\n", "r2\n"}));
    EXPECT_EQ(table.tableSize, 0x30u);
    EXPECT_TRUE(channels.messages.empty());
}

TEST_F(DefinitionTableTest, FieldNamesGoByAddressWithinTheRecord) {
    // Record size from the width text; a gap; two entries at one address; one below the table; one just
    // past the record.
    WriteBytes(dir.Native(u8"t.ini"), "100,a,4,,\n"
                                      "102,b,1,1,\n"
                                      "102,c,\n"
                                      "FF,below,\n"
                                      "104,past,\n");
    WriteBytes(dir.Native(u8"t.idn"), "");
    ASSERT_EQ(Load(u8"t.ini"), TableLoadStatus::Loaded);
    EXPECT_EQ(table.recordSize, 4u);
    // Only named offsets are stored; the others read as the empty name.
    EXPECT_EQ(table.fieldNames, (std::map<std::uint32_t, std::string>{{0, "a"}, {2, "c"}}));
    EXPECT_EQ(channels.messages, (std::vector<std::string>{OutsideMessage("t", "past")}));
    // An empty name list: no records, size 0, and still a loaded table.
    EXPECT_TRUE(table.recordNames.empty());
    EXPECT_EQ(table.tableSize, 0u);
}

TEST_F(DefinitionTableTest, LinePiecesEachBecomeAnEntryOrARecord) {
    // A 1023-byte line before its LF yields the line and then the lone LF, which repeats its values; so
    // does a trailing empty line.
    const std::string longName(1023 - std::string("10,,1,").size(), 'n');
    WriteBytes(dir.Native(u8"t.ini"), "10," + longName + ",1,\n11,x,\n\n");
    // 1500 bytes are two records; the last line counts without its LF.
    WriteBytes(dir.Native(u8"t.idn"), std::string(1500, 'r') + "\nlast");
    ASSERT_EQ(Load(u8"t.ini"), TableLoadStatus::Loaded);
    // Only the record's one line is kept; the later pieces still name fields (and are told to lie past it).
    ASSERT_EQ(table.entries.size(), 1u);
    EXPECT_EQ(table.entries[0].name, longName);
    EXPECT_EQ(table.fieldNames, (std::map<std::uint32_t, std::string>{{0, longName}}));
    EXPECT_EQ(table.recordNames,
              (std::vector<std::string>{std::string(1023, 'r'), std::string(477, 'r') + "\n", "last"}));
    EXPECT_EQ(table.tableSize, 3u);
    // "x" at 0x11, and its repetition, lie past the one-byte record.
    EXPECT_EQ(channels.messages, (std::vector<std::string>(2, OutsideMessage("t", "x"))));
}

TEST_F(DefinitionTableTest, TableNameKeepsInnerDotsAndDoubleByteCharacters) {
    WriteBytes(dir.Native(u8"t.old.ini"), "0,a,1,1,\n");
    WriteBytes(dir.Native(u8"t.old.idn"), "r\n");
    ASSERT_EQ(Load(u8"t.old.ini"), TableLoadStatus::Loaded);
    EXPECT_EQ(table.name, "t.old");

    WriteBytes(dir.Native(u8"表.ini"), "0,a,1,1,\n");
    WriteBytes(dir.Native(u8"表.idn"), "r\n");
    ASSERT_EQ(Load(u8"表.ini"), TableLoadStatus::Loaded);
    EXPECT_EQ(table.name, Sj(u8"表"));
    EXPECT_EQ(table.tableSize, 1u);
}

TEST_F(DefinitionTableTest, NameListPathReplacesOnlyTheFilesOwnIniExtension) {
    const std::string sep(1, kPathSeparator);
    struct Case {
        std::string definition;
        std::string nameList;
    };
    const Case cases[] = {
        {"defs" + sep + "a.ini", "defs" + sep + "a.idn"},
        {"defs" + sep + "A.INI", "defs" + sep + "A.idn"},
        {"defs" + sep + "a.Ini", "defs" + sep + "a.idn"},
        {"defs.ini" + sep + "a.ini", "defs.ini" + sep + "a.idn"},
        {"x.ini.d" + sep + "a.ini.ini", "x.ini.d" + sep + "a.ini.idn"},
        {"defs" + sep + Sj(u8"表.ini"), "defs" + sep + Sj(u8"表.idn")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.definition);
        EXPECT_EQ(NameListPath(c.definition), c.nameList);
    }
}

TEST_F(DefinitionTableTest, CapitalExtensionFindsItsOwnNameListNotItself) {
    WriteBytes(dir.Native(u8"T.INI"), "0,a,1,1,\n1,b,\n2,c,\n");
    WriteBytes(dir.Native(u8"T.IDN"), "only record\n");
    ASSERT_EQ(Load(u8"T.INI"), TableLoadStatus::Loaded);
    EXPECT_EQ(table.name, "T");
    EXPECT_EQ(table.recordNames, (std::vector<std::string>{"only record\n"}));
}

TEST_F(DefinitionTableTest, FolderNamedLikeADefinitionFileIsLeftAlone) {
    WriteBytes(dir.Native(u8"v1.ini/a.ini"), "0,a,2,2,\n");
    WriteBytes(dir.Native(u8"v1.ini/a.idn"), "r\n");
    ASSERT_EQ(Load(u8"v1.ini/a.ini"), TableLoadStatus::Loaded);
    EXPECT_EQ(table.tableSize, 2u);
}

TEST_F(DefinitionTableTest, MissingNameListLeavesEverythingButTheRecords) {
    WriteBytes(dir.Native(u8"t.ini"), "40,a,4,,\n");
    ASSERT_EQ(Load(u8"t.ini"), TableLoadStatus::NameListUnreadable);
    EXPECT_EQ(channels.messages, (std::vector<std::string>{kNameListMissing}));
    EXPECT_EQ(table.name, "t");
    EXPECT_EQ(table.baseAddress, 0x40u);
    EXPECT_EQ(table.recordSize, 4u);
    EXPECT_EQ(table.entries.size(), 1u);
    EXPECT_EQ(table.fieldNames, (std::map<std::uint32_t, std::string>{{0, "a"}}));
    EXPECT_TRUE(table.recordNames.empty());
    EXPECT_EQ(table.tableSize, 0u);
}

TEST_F(DefinitionTableTest, UnreadableDefinitionFileLeavesTheTableNew) {
    ASSERT_EQ(Load(u8"missing.ini"), TableLoadStatus::DefinitionUnreadable);
    EXPECT_TRUE(table.name.empty());
    EXPECT_TRUE(table.entries.empty());
    EXPECT_EQ(table.recordSize, 0u);
    EXPECT_TRUE(channels.messages.empty());
}

TEST_F(DefinitionTableTest, TablesWhoseNumbersCannotBeTrustedAreMalformed) {
    struct Case {
        const char* what;
        std::string definition;
        std::string nameList;
    };
    const Case cases[] = {
        {"address that is no number", "0,a,1,1,\nzz,b,\n", "r\n"},
        {"size above 32 bits", "0,a,1,100000000,\n", "r\n"},
        {"no line at all", "", "r\n"},
        {"record larger than 1 MiB", "0,a,1,100001,\n", "r\n"},
        // 4096 records of 1 MiB are 4 GiB, one byte more than a 32-bit size can say.
        {"table larger than 32 bits", "0,a,1,100000,\n", std::string(4096, '\n')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(dir.Native(u8"t.ini"), c.definition);
        WriteBytes(dir.Native(u8"t.idn"), c.nameList);
        EXPECT_EQ(Load(u8"t.ini"), TableLoadStatus::Malformed);
    }
    // 4095 records of 1 MiB still fit.
    WriteBytes(dir.Native(u8"t.idn"), std::string(4095, '\n'));
    ASSERT_EQ(Load(u8"t.ini"), TableLoadStatus::Loaded);
    EXPECT_EQ(table.tableSize, 4095u << 20);
}

TEST_F(DefinitionTableTest, CopyIsIndependentOfItsSource) {
    WriteBytes(dir.Native(u8"t.ini"), "0,a,2,2,\n");
    WriteBytes(dir.Native(u8"t.idn"), "r\n");
    ASSERT_EQ(Load(u8"t.ini"), TableLoadStatus::Loaded);
    DefinitionTable copy = table;
    copy.recordNames.push_back("s\n");
    copy.fieldNames[0] = "changed";
    copy.entries.clear();
    EXPECT_EQ(table.recordNames.size(), 1u);
    EXPECT_EQ(table.fieldNames.at(0), "a");
    EXPECT_EQ(table.entries.size(), 1u);
}

} // namespace
} // namespace dovra
