#include <gtest/gtest.h>

#include <fmt/printf.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/path_text.h"
#include "engine/texts.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::ReadBytes;
using test::Sj;
using test::TempDir;
using test::WriteBytes;

class FileSystemTest : public ::testing::Test {
protected:
    // Names in the temporary folder, in the order the folder lists them.
    std::vector<std::string> FolderContents() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    CDefinitionUpdater engine;
    test::CapturedChannels channels{engine};
};

TEST_F(FileSystemTest, FindsExtensionInAnyLetterCaseInByteOrder) {
    for (const auto* name : {u8"b.ini", u8"A.INI", u8"c.Ini", u8"表.ini", u8"d.idn", u8"e.ini.bak", u8"fini"}) {
        WriteBytes(dir.Native(name), "x");
    }
    std::filesystem::create_directory(dir.Native(u8"sub.ini"));

    const auto entries = FindFilesWithExtension(dir.Cp932(), "ini");
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        names.push_back(entry.name);
        EXPECT_EQ(entry.path, JoinPath(dir.Cp932(), entry.name));
        EXPECT_EQ(entry.isDirectory, entry.name == "sub.ini") << entry.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A.INI", "b.ini", "c.Ini", "sub.ini", Sj(u8"表.ini")}));
    EXPECT_TRUE(channels.messages.empty());

    EXPECT_EQ(FindFilesWithExtension(dir.Cp932(), "IDN").size(), 1u);
    EXPECT_TRUE(FindFilesWithExtension(dir.Cp932(u8"missing"), "ini").empty());
    EXPECT_TRUE(FindFilesWithExtension(dir.Cp932(u8"b.ini"), "ini").empty());
}

TEST_F(FileSystemTest, NamesWithoutACodePage932FormAreSkippedAndReportedOnce) {
    WriteBytes(dir.Native(u8"café.ini"), "x");
    WriteBytes(dir.Native(u8"\u301C.ini"), "x"); // WAVE DASH would come back as FULLWIDTH TILDE
#ifndef _WIN32
    // Raw code page 932 bytes, as an archive made on Windows may leave them: not UTF-8, so no name at all.
    WriteBytes(dir.Path() / std::string("\x95\x5C.ini"), "x");
    constexpr std::size_t kUnrepresentable = 3;
#else
    constexpr std::size_t kUnrepresentable = 2;
#endif
    WriteBytes(dir.Native(u8"café.txt"), "x"); // not searched for: not reported
    WriteBytes(dir.Native(u8"ok.ini"), "x");

    const auto entries = FindFilesWithExtension(dir.Cp932(), "ini");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "ok.ini");
    ASSERT_EQ(channels.messages.size(), kUnrepresentable);
    EXPECT_EQ(std::count(channels.messages.begin(), channels.messages.end(),
                         fmt::sprintf(text::kUnrepresentableEntry, dir.Cp932(), std::string("caf?.ini"))),
              1);
    EXPECT_EQ(std::count(channels.messages.begin(), channels.messages.end(),
                         fmt::sprintf(text::kUnrepresentableEntry, dir.Cp932(), std::string("?.ini"))),
              1);
}

TEST_F(FileSystemTest, JapaneseNamesRoundTripThroughTheDisk) {
    // The engine names a folder and a file in code page 932; the disk holds their UTF-8 names, and a search
    // gives back exactly the engine's bytes.
    const std::string folder = JoinPath(dir.Cp932(), Sj(u8"旧定義ソ能"));
    ASSERT_TRUE(CreateFolder(folder));
    const std::string file = JoinPath(folder, Sj(u8"表.ini"));
    ASSERT_TRUE(WriteFileAtomically(file, "data", 4));
    EXPECT_EQ(ReadBytes(dir.Native(u8"旧定義ソ能/表.ini")), "data");

    const auto entries = FindFilesWithExtension(folder, "ini");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "\x95\x5C.ini");
    EXPECT_EQ(entries[0].path, file);
    EXPECT_TRUE(PathExists(file));
    EXPECT_FALSE(IsDirectory(file));
    EXPECT_TRUE(IsDirectory(folder));
}

TEST_F(FileSystemTest, UnconvertiblePathIsNeverAnotherFile) {
    WriteBytes(dir.Native(u8"a.ini"), "x");
    // A lead byte without its trail byte has no UTF-8 form; it must not be dropped or replaced.
    const std::string broken = JoinPath(dir.Cp932(), "a.ini\x81");
    EXPECT_FALSE(PathExists(broken));
    EXPECT_FALSE(OpenForReading(broken));
    EXPECT_FALSE(CreateFolder(broken));
    EXPECT_FALSE(WriteFileAtomically(broken, "y", 1));
    EXPECT_EQ(ReadBytes(dir.Native(u8"a.ini")), "x");
}

TEST_F(FileSystemTest, CreateFolderAcceptsAnExistingFolderOnly) {
    const std::string folder = dir.Cp932(u8"out_NEW");
    EXPECT_TRUE(CreateFolder(folder));
    EXPECT_TRUE(CreateFolder(folder));
    EXPECT_TRUE(IsDirectory(folder));
    WriteBytes(dir.Native(u8"file"), "x");
    EXPECT_FALSE(CreateFolder(dir.Cp932(u8"file")));
    EXPECT_FALSE(CreateFolder(dir.Cp932(u8"missing/child")));
}

TEST_F(FileSystemTest, LetterCaseFallbackTakesTheOneMatchingFile) {
    WriteBytes(dir.Native(u8"T.IDN"), "x");
    WriteBytes(dir.Native(u8"ア.idn"), "x");
    EXPECT_EQ(ResolveExistingFile(dir.Cp932(u8"T.IDN")), dir.Cp932(u8"T.IDN"));
#ifdef _WIN32
    // Windows itself finds a file whatever the letter case: the path is taken as given.
    EXPECT_EQ(ResolveExistingFile(dir.Cp932(u8"t.idn")), dir.Cp932(u8"t.idn"));
    EXPECT_EQ(ResolveExistingFile(dir.Cp932(u8"ア.IDN")), dir.Cp932(u8"ア.IDN"));
#else
    EXPECT_EQ(ResolveExistingFile(dir.Cp932(u8"t.idn")), dir.Cp932(u8"T.IDN"));
    EXPECT_EQ(ResolveExistingFile(dir.Cp932(u8"ア.IDN")), dir.Cp932(u8"ア.idn"));
#endif
    // ヂ differs from ア only in a trail byte that looks like a letter: no match.
    EXPECT_FALSE(ResolveExistingFile(dir.Cp932(u8"ヂ.idn")));
    EXPECT_FALSE(ResolveExistingFile(dir.Cp932(u8"missing/t.idn")));

#ifndef _WIN32
    // Two names that Windows would take for one file (so only other systems can hold both): there is no
    // telling which was meant.
    WriteBytes(dir.Native(u8"t.Idn"), "y");
    EXPECT_FALSE(ResolveExistingFile(dir.Cp932(u8"t.idn")));
    EXPECT_EQ(ResolveExistingFile(dir.Cp932(u8"t.Idn")), dir.Cp932(u8"t.Idn"));
#endif
}

TEST_F(FileSystemTest, OpenForReadingRefusesFolders) {
    std::filesystem::create_directory(dir.Native(u8"sub.idn"));
    EXPECT_FALSE(OpenForReading(dir.Cp932(u8"sub.idn")));
    EXPECT_FALSE(OpenForReadingExact(dir.Cp932(u8"sub.idn")));
    EXPECT_FALSE(OpenForReading(dir.Cp932()));
}

TEST_F(FileSystemTest, StampsTellWritesOnceTheLastWriteIsOld) {
    WriteBytes(dir.Native(u8"表.ini"), "0,HP,1,4,\r\n");
    const std::string path = dir.Cp932(u8"表.ini");
    const auto fresh = StampAt(path);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->size, 11u);
    {
        FilePtr file = OpenForReading(path);
        EXPECT_EQ(StampOf(file.get()), fresh);
    }
    // Just written: another write in the same step of the file system's clock could keep the time.
    EXPECT_FALSE(StampVouches(*fresh));

    std::filesystem::last_write_time(dir.Native(u8"表.ini"),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    const auto settled = StampAt(path);
    ASSERT_TRUE(settled);
    EXPECT_TRUE(StampVouches(*settled));
    EXPECT_EQ(StampAt(path), settled);
    // Rewritten with bytes of the same length, and replaced by another file of the same length.
    WriteBytes(dir.Native(u8"表.ini"), "0,MP,1,4,\r\n");
    EXPECT_NE(StampAt(path), settled);
    std::filesystem::last_write_time(dir.Native(u8"表.ini"),
                                     std::filesystem::last_write_time(dir.Native(u8"表.ini")) - std::chrono::hours(1));
    const auto before = StampAt(path);
    WriteBytes(dir.Native(u8"other"), "0,XP,1,4,\r\n");
    std::filesystem::rename(dir.Native(u8"other"), dir.Native(u8"表.ini"));
    EXPECT_NE(StampAt(path), before);

    // Only a regular file has one.
    std::filesystem::create_directory(dir.Native(u8"sub"));
    EXPECT_FALSE(StampAt(dir.Cp932(u8"sub")));
    EXPECT_FALSE(StampAt(dir.Cp932(u8"missing.ini")));
    EXPECT_FALSE(StampOf(nullptr));
}

TEST_F(FileSystemTest, CopyOverwritesAndFindsTheSourceIgnoringCase) {
    WriteBytes(dir.Native(u8"old/T.INI"), "new content\r\n");
    WriteBytes(dir.Native(u8"out/T.ini"), "stale content that is longer\r\n");
    EXPECT_TRUE(CopyFileOverwriting(dir.Cp932(u8"old/T.ini"), dir.Cp932(u8"out/T.ini")));
    EXPECT_EQ(ReadBytes(dir.Native(u8"out/T.ini")), "new content\r\n");

    WriteBytes(dir.Native(u8"old/empty.idn"), "");
    EXPECT_TRUE(CopyFileOverwriting(dir.Cp932(u8"old/empty.idn"), dir.Cp932(u8"out/empty.idn")));
    EXPECT_TRUE(std::filesystem::exists(dir.Native(u8"out/empty.idn")));
}

TEST_F(FileSystemTest, FailedCopyLeavesTheDestinationAsItWas) {
    WriteBytes(dir.Native(u8"out/a.ini"), "keep");
    std::filesystem::create_directory(dir.Native(u8"folder.ini"));
    EXPECT_FALSE(CopyFileOverwriting(dir.Cp932(u8"missing.ini"), dir.Cp932(u8"out/a.ini")));
    EXPECT_FALSE(CopyFileOverwriting(dir.Cp932(u8"folder.ini"), dir.Cp932(u8"out/a.ini")));
    EXPECT_EQ(ReadBytes(dir.Native(u8"out/a.ini")), "keep");

    WriteBytes(dir.Native(u8"src.ini"), "x");
    EXPECT_FALSE(CopyFileOverwriting(dir.Cp932(u8"src.ini"), dir.Cp932(u8"missing/a.ini")));
    EXPECT_FALSE(CopyFileOverwriting(dir.Cp932(u8"src.ini"), dir.Cp932(u8"folder.ini")));
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"folder.ini", "out", "src.ini"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Native(u8"folder.ini")));
}

TEST_F(FileSystemTest, AtomicWriterReplacesTheTargetOnlyOnCommit) {
    WriteBytes(dir.Native(u8"bin.new"), "previous");
    {
        AtomicFileWriter writer(dir.Cp932(u8"bin.new"));
        ASSERT_TRUE(writer.IsOpen());
        EXPECT_TRUE(writer.Write("partial"));
        // Abandoned without Commit: the target keeps its bytes and no temporary file stays behind.
    }
    EXPECT_EQ(ReadBytes(dir.Native(u8"bin.new")), "previous");
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"bin.new"}));

    {
        AtomicFileWriter writer(dir.Cp932(u8"bin.new"));
        EXPECT_TRUE(writer.Write("whole "));
        EXPECT_TRUE(writer.Write("file"));
        EXPECT_TRUE(writer.Commit());
    }
    EXPECT_EQ(ReadBytes(dir.Native(u8"bin.new")), "whole file");
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"bin.new"}));
}

TEST_F(FileSystemTest, AtomicWriterTakesAnyNameTheFileSystemTakes) {
    // The temporary's name is short and of its own: a 255-byte target name leaves no room for a suffix.
    const std::string name(251, 'n');
    ASSERT_TRUE(WriteFileAtomically(JoinPath(dir.Cp932(), name + ".new"), "long", 4));
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{name + ".new"}));
}

TEST_F(FileSystemTest, AtomicWriterReportsATargetItCannotReplace) {
    std::filesystem::create_directory(dir.Native(u8"taken"));
    EXPECT_FALSE(WriteFileAtomically(dir.Cp932(u8"taken"), "x", 1));
    EXPECT_FALSE(WriteFileAtomically(dir.Cp932(u8"missing/x.new"), "x", 1));
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"taken"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Native(u8"taken")));
}

} // namespace
} // namespace dovra
