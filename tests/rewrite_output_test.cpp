// The rewritten binary's file: written whole beside the new binary, never over an input, and a failure
// told as a failure.
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "support/rewrite_fixture.h"

namespace dovra::test {
namespace {

using Lines = std::vector<std::string>;

using RewriteOutput = RewriteFixture;

std::set<std::string> FileNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST_F(RewriteOutput, AnExistingOutputFileIsReplacedWholeWithoutAQuestion) {
    WriteTable(u8"old", u8"A", DefinitionLine(0x00, "X", "1", "2"), "one\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x02, "X", "1", "2"), "one\n");
    WriteBytes(dir.Native(u8"new.bin.new"), std::string(0x40, 'x'));
    EXPECT_TRUE(Run(Image(0x04, 0, "\x01\x02"), Image(0x06, 0, "\x09")));

    EXPECT_EQ(Output(), Image(0x06, 0, "\x09").replace(0x02, 2, "\x01\x02"));
    EXPECT_EQ(channels.questions.back(), OutputNotice());
    EXPECT_EQ(channels.log.back(), OutputNotice());
    EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"new", "new.bin", "new.bin.new", "old", "old.bin"}));
}

#ifndef _WIN32
TEST_F(RewriteOutput, TheOutputKeepsTheNewBinarysPermissionBits) {
    // A game executable stays executable; a leftover temporary of a killed run goes.
    WriteTable(u8"old", u8"A", DefinitionLine(0x00, "X", "1", "2"), "one\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x02, "X", "1", "2"), "one\n");
    WriteBinaries(Image(0x04, 0, "\x01\x02"), Image(0x06));
    WriteBytes(dir.Native(u8".dovra-00c0ffee.tmp"), "left by a killed run");
    using std::filesystem::perms;
    std::filesystem::permissions(dir.Native(u8"new.bin"), perms::owner_all | perms::group_read | perms::group_exec);
    Load();
    EXPECT_TRUE(engine.Rewrite());

    EXPECT_EQ(std::filesystem::status(dir.Native(u8"new.bin.new")).permissions(),
              perms::owner_all | perms::group_read | perms::group_exec);
    EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"new", "new.bin", "new.bin.new", "old", "old.bin"}));
}
#endif

TEST_F(RewriteOutput, AFailedWriteIsReportedAndLeavesNoFileBehind) {
    WriteTable(u8"old", u8"A", DefinitionLine(0x00, "X", "1", "2"), "one\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x02, "X", "1", "2"), "one\n");
    std::filesystem::create_directory(dir.Native(u8"new.bin.new"));
    WriteBinaries(Image(0x04, 0, "\x01\x02"), Image(0x06));
    const TreeSnapshot inputs = SnapshotTree(dir.Path(), {"new.bin.new"});
    Load();
    EXPECT_FALSE(engine.Rewrite());

    // The reason the system gave comes with the line.
    EXPECT_EQ(channels.questions.back(), FailureNotice() + Sj(u8"（フォルダです）"));
    EXPECT_EQ(channels.log.back(), FailureNotice() + Sj(u8"（フォルダです）"));
    for (const auto& said : {channels.questions, channels.log}) {
        EXPECT_EQ(std::count(said.begin(), said.end(), OutputNotice()), 0);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Native(u8"new.bin.new")));
    EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"new", "new.bin", "new.bin.new", "old", "old.bin"}));
    EXPECT_EQ(SnapshotTree(dir.Path(), {"new.bin.new"}), inputs);
}

TEST_F(RewriteOutput, AnOldBinaryStandingAtTheOutputPathIsNeverOverwritten) {
    // An earlier run's output picked as the old binary: this run's output would land on it.
    WriteTable(u8"old", u8"A", DefinitionLine(0x00, "X", "1", "2"), "one\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x02, "X", "1", "2"), "one\n");
    std::string oldBinary = Image(0x04, 0, "\x01\x02");
    WriteBytes(dir.Native(u8"new.bin.new"), oldBinary);
    WriteBytes(dir.Native(u8"new.bin"), Image(0x06));
    Load(u8"new.bin.new");
    EXPECT_FALSE(engine.Rewrite());

    EXPECT_EQ(channels.log.back(), FailureNotice());
    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin.new")), oldBinary);
    EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"new", "new.bin", "new.bin.new", "old"}));
}

} // namespace
} // namespace dovra::test
