// Binaries are held mapped: writing into an image never reaches the file, and a file that another
// program shortens or rewrites while the tool holds it neither crashes the tool nor ends in an output
// written from it.
#include <filesystem>

#include <gtest/gtest.h>

#include "engine/binary_image.h"
#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/texts.h"
#include "support/rewrite_fixture.h"
#include "support/test_support.h"

namespace dovra::test {
namespace {

const std::string kTableBytes = "\x11\x22\x33\x44\x55\x66\x77\x88";

std::string Placed(std::size_t size, std::size_t offset) {
    std::string image(size, '\0');
    image.replace(offset, kTableBytes.size(), kTableBytes);
    return image;
}

TEST(MappedImage, WritingIntoAnImageLeavesTheFileAsItWas) {
    TempDir dir;
    const std::string bytes = Placed(3 << 20, 0x1000);
    WriteBytes(dir.Native(u8"new.bin"), bytes);
    CDefinitionUpdater engine;
    ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
    ASSERT_EQ(engine.NewImage().size, bytes.size());

    auto* first = engine.NewImage().data.get();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first), bytes.size()), bytes);
    first[0x1000] = 0x99;
    first[bytes.size() - 1] = 0x42;

    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin")), bytes);
    EXPECT_TRUE(engine.NewImage().data.Unchanged()) << "the tool's own changes are not another program's";
}

TEST(MappedImage, WrittenOutFromTheMappingAreTheBytesAsTheToolHoldsThem) {
    // Changes in the first page, in one page of the middle, in two adjacent pages and in the last,
    // partial page: the output takes them from memory and every other page from the file.
    TempDir dir;
    std::string bytes(5 * 4096 + 100, '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        bytes[k] = static_cast<char>(k * 7 + k / 4096);
    }
    WriteBytes(dir.Native(u8"new.bin"), bytes);
    ImageBytes image;
    std::uint32_t size = 0;
    ASSERT_TRUE(LoadWholeFile(dir.Cp932(u8"new.bin"), image, size));
    ASSERT_NE(image.Mapping(), nullptr);
    std::string expected = bytes;
    for (std::size_t at : {std::size_t{0}, std::size_t{2 * 4096 + 5}, std::size_t{4 * 4096 - 1}, bytes.size() - 1}) {
        image.get()[at] ^= 0xFF;
        expected[at] = static_cast<char>(expected[at] ^ 0xFF);
    }

    AtomicFileWriter writer(dir.Cp932(u8"new.bin.new"));
    ASSERT_TRUE(writer.WriteMapped(*image.Mapping(), image.get(), size));
    ASSERT_TRUE(writer.Commit());

    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin.new")), expected);
    EXPECT_EQ(ReadBytes(dir.Native(u8"new.bin")), bytes);
}

// Windows refuses to shorten a file while it is mapped: these cases exist only on POSIX systems.
#ifndef _WIN32
class ShrunkBinary : public RewriteFixture {};

TEST_F(ShrunkBinary, CreateRunOverAShortenedBinaryWritesNothingAndKeepsTheEarlierFolder) {
    std::filesystem::create_directories(dir.Native(u8"old"));
    WriteBytes(dir.Native(u8"old/a.ini"), "1000,HP,2,4,0,,,0,,,\r\n1002,MP,2,,0,,,0,,,\r\n");
    WriteBytes(dir.Native(u8"old/a.idn"), "Alice\r\nBob\r\n");
    WriteBytes(dir.Native(u8"old_NEW/a.ini"), "an earlier run");
    WriteBytes(dir.Native(u8"old.bin"), Placed(1 << 20, 0x1000));
    WriteBytes(dir.Native(u8"new.bin"), Placed(1 << 20, 0xF0000));
    engine.LoadOldSettings(dir.Cp932(u8"old"));
    ASSERT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
    ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
    // Another program cuts the new binary short before the search reads its pages.
    std::filesystem::resize_file(dir.Native(u8"new.bin"), 4096);

    EXPECT_FALSE(engine.CreateDefinitions());

    EXPECT_NE(std::find(channels.log.begin(), channels.log.end(), std::string(text::kBinaryChangedMeanwhile)),
              channels.log.end());
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW/a.ini")), "an earlier run");
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"old_NEW.bak")));
}

TEST_F(ShrunkBinary, RewriteOfAShortenedBinaryFailsWithoutAnOutput) {
    WriteTable(u8"old", u8"A", DefinitionLine(0x00, "X", "1", "2"), "one\n");
    WriteTable(u8"new", u8"A", DefinitionLine(0x02, "X", "1", "2"), "one\n");
    WriteBinaries(Image(0x04, 0, "\x01\x02"), std::string(1 << 20, '\x07'));
    Load();
    std::filesystem::resize_file(dir.Native(u8"new.bin"), 100);

    EXPECT_FALSE(engine.Rewrite());

    EXPECT_EQ(channels.questions.back(), FailureNotice());
    EXPECT_FALSE(std::filesystem::exists(dir.Native(u8"new.bin.new")));
}

#endif

} // namespace
} // namespace dovra::test
