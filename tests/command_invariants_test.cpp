// What holds for every run of either command: the input binaries and folders are never changed, and
// running the same command again on the same inputs gives byte-identical outputs and the same log, also
// when the engine is reused as the dialog reuses it, and also when the previous run's output is still there.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/definition_updater.h"
#include "engine/texts.h"
#include "support/rewrite_fixture.h"
#include "support/test_support.h"

namespace dovra::test {
namespace {

using Lines = std::vector<std::string>;

// One definition line per byte of a record, the first carrying the record size.
std::string Layout(std::uint32_t base, std::uint32_t recordSize, std::string_view width = "1") {
    std::string text;
    for (std::uint32_t offset = 0; offset < recordSize; ++offset) {
        std::string size = offset == 0 ? fmt::format("{:X}", recordSize) : "";
        text += DefinitionLine(base + offset, fmt::format("f{}", offset), offset == 0 ? width : "1", size);
    }
    return text;
}

std::string Place(std::string image, std::size_t offset, std::string_view bytes) {
    return image.replace(offset, bytes.size(), bytes);
}

// Tables of every kind at once: moved, unmoved, missing from the new binary, with a Japanese name,
// differing data, differing sizes, and one the new settings folder lacks.
class CommandInvariants : public ::testing::Test {
protected:
    CommandInvariants() {
        const std::string records = "one\r\ntwo\r\n";
        Write(u8"old/moved.ini", Layout(0x10, 4, "4"), records);
        Write(u8"old/same.ini", Layout(0x40, 4), "only\r\n");
        Write(u8"old/missing.ini", Layout(0x60, 4, "2"), "only\r\n");
        Write(u8"old/表.ini", Layout(0x80, 2), Sj(u8"勇者\r\n"));
        Write(u8"old/grown.ini", Layout(0xA0, 4), "only\r\n");
        Write(u8"old/gone.ini", Layout(0xC0, 1), "only\r\n");
        Write(u8"new/moved.ini", Layout(0x110, 4, "4"), records);
        Write(u8"new/same.ini", Layout(0x40, 4), "only\r\n");
        Write(u8"new/missing.ini", Layout(0x160, 4, "2"), "only\r\n");
        Write(u8"new/表.ini", Layout(0x90, 2), Sj(u8"勇者\r\n"));
        Write(u8"new/grown.ini", Layout(0x1A0, 4), "one\r\ntwo\r\n");

        std::string oldBinary(0x200, '\0');
        oldBinary = Place(oldBinary, 0x10, "\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8");
        oldBinary = Place(oldBinary, 0x40, "\xB1\xB2\xB3\xB4");
        oldBinary = Place(oldBinary, 0x60, "\xC1\xC2\xC3\xC4");
        oldBinary = Place(oldBinary, 0x80, "\xD1\xD2");
        oldBinary = Place(oldBinary, 0xA0, "\xF1\xF2\xF3\xF4");
        std::string newBinary(0x200, '\0');
        newBinary = Place(newBinary, 0x110, "\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8");
        newBinary = Place(newBinary, 0x40, "\xB1\xB2\xB3\xB4");
        newBinary = Place(newBinary, 0x160, "\xE1\xC2\xE3\xE4");
        newBinary = Place(newBinary, 0x90, "\xD1\xD2");
        newBinary = Place(newBinary, 0x1A0, "\xF1\xF2\xE3\xE4\xE5\xE6\xE7\xE8");
        WriteBytes(dir.Native(u8"old.bin"), oldBinary);
        WriteBytes(dir.Native(u8"new.bin"), newBinary);
    }

    void Write(std::u8string_view ini, const std::string& definition, const std::string& names) {
        std::u8string idn(ini.substr(0, ini.size() - 4));
        WriteBytes(dir.Native(ini), definition);
        WriteBytes(dir.Native(idn + u8".idn"), names);
    }

    // One click of the create button: the dialog's loads, then the command, every question answered yes.
    Lines Create() {
        channels.log.clear();
        engine.LoadOldSettings(dir.Cp932(u8"old"));
        EXPECT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
        EXPECT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
        EXPECT_TRUE(engine.CreateDefinitions());
        return channels.log;
    }
    Lines Rewrite() {
        channels.log.clear();
        engine.LoadOldSettings(dir.Cp932(u8"old"));
        engine.LoadNewSettings(dir.Cp932(u8"new"));
        EXPECT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
        EXPECT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
        EXPECT_TRUE(engine.Rewrite());
        return channels.log;
    }
    // Earlier output folders moved aside by a later create run are outputs too.
    TreeSnapshot Inputs() const {
        return SnapshotTree(dir.Path(), {"old_NEW", "old_NEW.bak", "old_NEW.bak2", "new.bin.new"});
    }

    TempDir dir;
    CDefinitionUpdater engine;
    CapturedChannels channels{engine};
};

TEST_F(CommandInvariants, CreateLeavesItsInputsAloneAndRepeatsItselfExactly) {
    const TreeSnapshot inputs = Inputs();

    const Lines firstLog = Create();
    const TreeSnapshot firstOutput = SnapshotTree(dir.Native(u8"old_NEW"));
    // Every kind of table did its part: shifted, copied, Japanese-named; the missing one wrote nothing.
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW/moved.ini")), Layout(0x110, 4, "4"));
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW/same.ini")), Layout(0x40, 4));
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW/表.ini")), Layout(0x90, 2));
    EXPECT_FALSE(firstOutput.contains("missing.ini"));
    EXPECT_EQ(Inputs(), inputs);

    std::filesystem::remove_all(dir.Native(u8"old_NEW"));
    EXPECT_EQ(Create(), firstLog) << "into a fresh folder";
    EXPECT_EQ(SnapshotTree(dir.Native(u8"old_NEW")), firstOutput);

    // Over the previous output the folder is not new: instead of the line that creates it, the log ends
    // with the earlier folder moved aside and the new one put in its place.
    const std::string folder = dir.Cp932(u8"old_NEW");
    Lines replacingLog(firstLog.begin() + 1, firstLog.end());
    replacingLog.push_back(fmt::format(fmt::runtime(text::kFolderMovedAside), folder, folder + ".bak"));
    replacingLog.push_back(fmt::format(fmt::runtime(text::kFolderReplaced), folder));
    EXPECT_EQ(firstLog.front(), fmt::format(fmt::runtime(text::kFolderCreated), folder));
    EXPECT_EQ(Create(), replacingLog) << "over the previous output";
    EXPECT_EQ(SnapshotTree(dir.Native(u8"old_NEW")), firstOutput);
    EXPECT_EQ(SnapshotTree(dir.Native(u8"old_NEW.bak")), firstOutput);
    EXPECT_EQ(Inputs(), inputs);
}

TEST_F(CommandInvariants, RewriteLeavesItsInputsAloneAndRepeatsItselfExactly) {
    const TreeSnapshot inputs = Inputs();

    const Lines firstLog = Rewrite();
    const std::string firstOutput = ReadBytes(dir.Native(u8"new.bin.new"));
    // The differing tables were carried over; the engine's new image now holds them too.
    EXPECT_EQ(firstOutput.substr(0x160, 4), "\xC1\xC2\xC3\xC4");
    EXPECT_EQ(firstOutput.substr(0x1A0, 8), "\xF1\xF2\xF3\xF4\xE5\xE6\xE7\xE8");
    EXPECT_EQ(Inputs(), inputs);

    std::filesystem::remove(dir.Native(u8"new.bin.new"));
    EXPECT_EQ(Rewrite(), firstLog) << "with no output there";
    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin.new")), firstOutput);

    EXPECT_EQ(Rewrite(), firstLog) << "over the previous output";
    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin.new")), firstOutput);
    EXPECT_EQ(Inputs(), inputs);
}

} // namespace
} // namespace dovra::test
