// The platform layer where Windows differs from POSIX: code page 932 names whose second byte is 0x5C (the
// backslash), "\" as the separator, CR LF files and replacing a file that exists. Everything here runs on
// both systems; the parts that only hold for one are marked.
#include <filesystem>

#include <gtest/gtest.h>

#include "definitions/definition_table.h"
#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/native_path.h"
#include "engine/path_text.h"
#include "engine/text_lines.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::CapturedChannels;
using test::ReadBytes;
using test::Sj;
using test::TempDir;
using test::WriteBytes;

// A two-byte record at 0x1000 (one line per byte), three records named in the name list.
constexpr std::string_view kDefinitionCrLf = "1000,HP,2,2,0,,,0,,,\r\n"
                                             "1001,,,2,0,,,0,,,\r\n";
constexpr std::string_view kNameListCrLf = "A\r\nB\r\nC\r\n";

TEST(PlatformFiles, NamesWithBackslashTrailByteReachTheSystemUnaltered) {
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C: a layer that took the 0x5C for a separator, or converted through
    // the system's ANSI code page, would look for another file.
    ASSERT_EQ(Sj(u8"表"), std::string("\x95\x5C"));
    auto native = ToNativePath(Sj(u8"ソフト\\表.ini"));
    ASSERT_TRUE(native);
#ifdef _WIN32
    EXPECT_EQ(native->native(), std::wstring(L"\u30BD\u30D5\u30C8\\\u8868.ini"));
    EXPECT_EQ(native->filename().native(), std::wstring(L"\u8868.ini"));
#endif
    EXPECT_EQ(FromNativePath(*native), Sj(u8"ソフト\\表.ini"));
}

#ifdef _WIN32
TEST(PlatformFiles, NameThatIsNotEvenUnicodeHasNoCodePage932FormAndNeverThrows) {
    // Windows names are any 16-bit units; std::filesystem throws when asked for the UTF-8 of an unpaired
    // surrogate, which would end the program in the middle of a folder search. (Wine cannot create such a
    // file, so the name is tested without one.)
    const std::filesystem::path name(std::wstring(L"\xD800.ini"));
    EXPECT_FALSE(FromNativePath(name));
    EXPECT_EQ(NativeToUtf8Lossy(name), "\xEF\xBF\xBD.ini");
}
#endif

TEST(PlatformFiles, TableNamedWithBackslashTrailByteLoadsUnderItsName) {
    TempDir dir;
    WriteBytes(dir.Native(u8"ソフト/表.ini"), kDefinitionCrLf);
    WriteBytes(dir.Native(u8"ソフト/表.idn"), kNameListCrLf);
    CDefinitionUpdater engine;
    CapturedChannels channels(engine);

    engine.LoadOldSettings(dir.Cp932(u8"ソフト"));

    EXPECT_TRUE(channels.messages.empty());
    ASSERT_EQ(engine.OldSummaries().size(), 1u);
    const auto found = engine.OldSummaries().find(Sj(u8"表"));
    ASSERT_NE(found, engine.OldSummaries().end());
    EXPECT_EQ(found->second.name, Sj(u8"表"));
    EXPECT_EQ(found->second.baseAddress, 0x1000u);
    EXPECT_EQ(found->second.recordSize, 2u);
    EXPECT_EQ(found->second.tableSize, 6u); // the name list beside it was found: 3 records of 2 bytes
}

TEST(PlatformFiles, ListedPathsAreJoinedWithThePlatformSeparator) {
    TempDir dir;
    WriteBytes(dir.Native(u8"ソフト/表.ini"), kDefinitionCrLf);
    WriteBytes(dir.Native(u8"ソフト/b.INI"), kDefinitionCrLf);
    const std::string folder = dir.Cp932(u8"ソフト");

    auto entries = FindFilesWithExtension(folder, "ini");

    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "b.INI");
    EXPECT_EQ(entries[1].name, Sj(u8"表.ini"));
#ifdef _WIN32
    EXPECT_EQ(entries[1].path, folder + "\\" + Sj(u8"表.ini"));
#else
    EXPECT_EQ(entries[1].path, folder + "/" + Sj(u8"表.ini"));
#endif
    EXPECT_EQ(FileNamePart(entries[1].path), Sj(u8"表.ini"));
    EXPECT_EQ(FolderPart(entries[1].path), folder);
    EXPECT_TRUE(PathExists(entries[1].path));
    EXPECT_FALSE(IsDirectory(entries[1].path));
}

#ifdef _WIN32
TEST(PlatformFiles, WindowsPathsSplitOnEitherSeparatorButNeverInsideACharacter) {
    EXPECT_EQ(JoinPath(Sj(u8"C:\\ソフト"), Sj(u8"表.ini")), Sj(u8"C:\\ソフト\\表.ini"));
    EXPECT_EQ(FileNamePart(Sj(u8"C:\\ソフト\\表.ini")), Sj(u8"表.ini"));
    EXPECT_EQ(FileNamePart(Sj(u8"C:/ソフト/表.ini")), Sj(u8"表.ini"));
    EXPECT_EQ(FolderPart(Sj(u8"C:\\ソフト\\表.ini")), Sj(u8"C:\\ソフト"));
    EXPECT_EQ(TrimTrailingSeparators(Sj(u8"D:\\表")), Sj(u8"D:\\表"));
    EXPECT_EQ(TrimTrailingSeparators(Sj(u8"D:\\表\\\\")), Sj(u8"D:\\表"));
    EXPECT_EQ(TrimTrailingSeparators("C:\\"), "C:\\");
}
#endif

TEST(PlatformFiles, CrLfFilesReadAsLineFeedsAndLoadLikeLineFeedFiles) {
    TempDir dir;
    WriteBytes(dir.Native(u8"text.txt"), "a\r\nb\rc\r\n\r\nd\r");
    EXPECT_EQ(ReadTextModeFile(dir.Cp932(u8"text.txt")), std::optional<std::string>("a\nb\rc\n\nd\r"));

    WriteBytes(dir.Native(u8"crlf/表.ini"), kDefinitionCrLf);
    WriteBytes(dir.Native(u8"crlf/表.idn"), kNameListCrLf);
    WriteBytes(dir.Native(u8"lf/表.ini"), "1000,HP,2,2,0,,,0,,,\n1001,,,2,0,,,0,,,\n");
    WriteBytes(dir.Native(u8"lf/表.idn"), "A\nB\nC\n");
    DefinitionTable crlf;
    DefinitionTable lf;
    ASSERT_EQ(crlf.Load(dir.Cp932(u8"crlf/表.ini")), TableLoadStatus::Loaded);
    ASSERT_EQ(lf.Load(dir.Cp932(u8"lf/表.ini")), TableLoadStatus::Loaded);

    EXPECT_EQ(crlf.name, Sj(u8"表"));
    EXPECT_EQ(crlf.recordNames, (std::vector<std::string>{"A\n", "B\n", "C\n"}));
    EXPECT_EQ(crlf.recordNames, lf.recordNames);
    EXPECT_EQ(crlf.fieldNames, lf.fieldNames);
    ASSERT_EQ(crlf.entries.size(), 2u);
    EXPECT_EQ(crlf.entries[0].text9, lf.entries[0].text9);
}

TEST(PlatformFiles, AtomicWriteReplacesAnExistingFileAndLeavesNothingElse) {
    TempDir dir;
    WriteBytes(dir.Native(u8"表.bin.new"), "old contents that are longer");

    ASSERT_TRUE(WriteFileAtomically(dir.Cp932(u8"表.bin.new"), "new", 3));

    EXPECT_EQ(ReadBytes(dir.Native(u8"表.bin.new")), "new");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "the temporary file must be gone";
}

TEST(PlatformFiles, FailedAtomicWriteLeavesTheExistingFileAlone) {
    TempDir dir;
    WriteBytes(dir.Native(u8"out.new"), "kept");
    {
        AtomicFileWriter writer(dir.Cp932(u8"out.new"));
        ASSERT_TRUE(writer.IsOpen());
        ASSERT_TRUE(writer.Write("discarded"));
        // Destroyed without Commit: an interrupted write.
    }
    EXPECT_EQ(ReadBytes(dir.Native(u8"out.new")), "kept");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(PlatformFiles, ExclusiveOpenRefusesAnExistingFile) {
    // AtomicFileWriter's temporary file must never be one that exists; older Windows C runtimes ignore
    // fopen's "x" and would truncate it.
    TempDir dir;
    WriteBytes(dir.Native(u8"表.tmp"), "someone else's");
    auto existing = ToNativePath(dir.Cp932(u8"表.tmp"));
    auto fresh = ToNativePath(dir.Cp932(u8"表2.tmp"));
    ASSERT_TRUE(existing && fresh);

    EXPECT_EQ(OpenNative(*existing, "wbx"), nullptr);
    EXPECT_EQ(ReadBytes(dir.Native(u8"表.tmp")), "someone else's");

    FilePtr file(OpenNative(*fresh, "wbx"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fwrite("a\nb", 1, 3, file.get()), 3u);
    file.reset();
    EXPECT_EQ(ReadBytes(dir.Native(u8"表2.tmp")), "a\nb") << "binary mode: no CR added";
}

TEST(PlatformFiles, CopyOverwritesAnExistingDestination) {
    TempDir dir;
    WriteBytes(dir.Native(u8"表.idn"), "A\r\nB\r\n");
    WriteBytes(dir.Native(u8"out/表.idn"), "older and longer contents");

    EXPECT_TRUE(CopyFileOverwriting(dir.Cp932(u8"表.idn"), dir.Cp932(u8"out/表.idn")));
    EXPECT_EQ(ReadBytes(dir.Native(u8"out/表.idn")), "A\r\nB\r\n");
    EXPECT_FALSE(CopyFileOverwriting(dir.Cp932(u8"missing.idn"), dir.Cp932(u8"out/表.idn")));
    EXPECT_FALSE(CopyFileOverwriting(dir.Cp932(u8"out"), dir.Cp932(u8"folder-copy")));
}

TEST(PlatformFiles, FileSizeOfAnOpenFile) {
    TempDir dir;
    WriteBytes(dir.Native(u8"表.bin"), std::string(70000, '\x5C'));
    FilePtr file = OpenForReadingExact(dir.Cp932(u8"表.bin"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(FileSize(file.get()), std::optional<std::uint64_t>(70000));
}

} // namespace
} // namespace dovra
