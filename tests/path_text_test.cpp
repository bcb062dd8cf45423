#include <gtest/gtest.h>

#include <string>

#include "engine/path_text.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::Sj;

const std::string kSep(1, kPathSeparator);

TEST(PathText, JoinPathInsertsThePlatformSeparatorAsItStands) {
    EXPECT_EQ(JoinPath("defs", "a.ini"), "defs" + kSep + "a.ini");
    // A folder that already ends in a separator gets a second one, and the empty folder means the root.
    EXPECT_EQ(JoinPath("defs" + kSep, "a.ini"), "defs" + kSep + kSep + "a.ini");
    EXPECT_EQ(JoinPath("", "a.ini"), kSep + "a.ini");
}

TEST(PathText, TableNameIsTheFileNameWithoutItsLastExtension) {
    struct Case {
        std::string path;
        std::string fileName;
        std::string stem;
    };
    const Case cases[] = {
        {"defs" + kSep + "t.old.ini", "t.old.ini", "t.old"},
        {"defs" + kSep + Sj(u8"表.ini"), Sj(u8"表.ini"), Sj(u8"表")},
        {"defs" + kSep + Sj(u8"ソ能.ini"), Sj(u8"ソ能.ini"), Sj(u8"ソ能")},
        {"defs" + kSep + ".ini", ".ini", ""},
        {"a.b" + kSep + "noext", "noext", "noext"},
        {"plain.INI", "plain.INI", "plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileNamePart(c.path), c.fileName);
        EXPECT_EQ(RemoveExtension(FileNamePart(c.path)), c.stem);
    }
    EXPECT_EQ(ExtensionPart("t.old.INI"), ".INI");
    EXPECT_EQ(ExtensionPart("noext"), "");
}

#ifdef _WIN32
TEST(PathText, TrailByte5CIsNotASeparator) {
    // 表 and ソ are 0x95 0x5C and 0x83 0x5C: the 0x5C is the second half of a character, not a backslash.
    const std::string folder = "D:\\" + Sj(u8"表");
    EXPECT_EQ(FileNamePart(folder), Sj(u8"表"));
    EXPECT_EQ(FolderPart(folder + "\\" + Sj(u8"ソ.ini")), folder);
    EXPECT_EQ(TrimTrailingSeparators(folder), folder);
    EXPECT_EQ(TrimTrailingSeparators(folder + "\\\\"), folder);
    EXPECT_EQ(TrimTrailingSeparators("C:\\"), "C:\\");
}
#endif

TEST(PathText, TrimTrailingSeparatorsKeepsTheRoot) {
    EXPECT_EQ(TrimTrailingSeparators("defs" + kSep + kSep), "defs");
    EXPECT_EQ(TrimTrailingSeparators("defs"), "defs");
    EXPECT_EQ(TrimTrailingSeparators(kSep), kSep);
    EXPECT_EQ(TrimTrailingSeparators(""), "");
}

TEST(PathText, EqualsIgnoringCaseFoldsOnlySingleByteLetters) {
    EXPECT_TRUE(EqualsIgnoringCase("Table.INI", "table.ini"));
    EXPECT_TRUE(EqualsIgnoringCase(Sj(u8"表A.ini"), Sj(u8"表a.INI")));
    EXPECT_FALSE(EqualsIgnoringCase("a.ini", "a.inf"));
    EXPECT_FALSE(EqualsIgnoringCase("a.ini", "a.ini "));
    // ア is 0x83 0x41 and ヂ is 0x83 0x61: their second bytes differ only as "A" and "a" do, but they are
    // different characters.
    ASSERT_EQ(Sj(u8"ア"), "\x83\x41");
    ASSERT_EQ(Sj(u8"ヂ"), "\x83\x61");
    EXPECT_FALSE(EqualsIgnoringCase(Sj(u8"ア.ini"), Sj(u8"ヂ.ini")));
    // Full-width letters are double-byte characters and compared exactly.
    EXPECT_FALSE(EqualsIgnoringCase(Sj(u8"Ａ"), Sj(u8"ａ")));
}

} // namespace
} // namespace dovra
