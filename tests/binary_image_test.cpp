#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/binary_image.h"
#include "engine/texts.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::Sj;
using test::TempDir;
using test::WriteBytes;

class BinaryImageTest : public ::testing::Test {
protected:
    std::string Bytes(const BinaryImage& image) const {
        return std::string(reinterpret_cast<const char*>(image.data.get()), image.size);
    }

    TempDir dir;
    CDefinitionUpdater engine;
    test::CapturedChannels channels{engine};
};

TEST_F(BinaryImageTest, LoadsTheWholeFileUnderAJapaneseName) {
    using namespace std::string_literals;
    const std::string content = "\x00\x01\r\n\x1A\xFF"s;
    WriteBytes(dir.Native(u8"旧ソ能.bin"), content);
    ASSERT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"旧ソ能.bin")));
    EXPECT_EQ(Bytes(engine.OldImage()), content);
    EXPECT_EQ(engine.OldBinaryPath(), dir.Cp932(u8"旧ソ能.bin"));
    EXPECT_FALSE(engine.NewImage().IsLoaded());
    EXPECT_TRUE(channels.messages.empty());
}

TEST_F(BinaryImageTest, EachFailureShowsItsCauseAndLeavesTheImageEmpty) {
    std::filesystem::create_directory(dir.Native(u8"folder.bin"));
    WriteBytes(dir.Native(u8"empty.bin"), "");
    WriteBytes(dir.Native(u8"NEW.BIN"), "x");
    struct Case {
        const char* what;
        std::string path;
        std::string message;
    };
    // The reason the system gave comes with the message.
    const std::string kNotFound = std::string(text::kCannotOpenFile) + Sj(u8"（見つかりません）");
    const std::string kFolder = std::string(text::kCannotOpenFile) + Sj(u8"（フォルダです）");
    std::vector<Case> cases = {
        {"missing file", dir.Cp932(u8"missing.bin"), kNotFound},
        {"empty path", "", kNotFound},
        {"a folder", dir.Cp932(u8"folder.bin"), kFolder},
        {"zero bytes", dir.Cp932(u8"empty.bin"), text::kFileSizeZero},
    };
#ifndef _WIN32
    // Windows itself finds a file whatever the letter case; elsewhere the engine adds no fallback.
    cases.push_back({"wrong letter case: binary paths are exact", dir.Cp932(u8"new.bin"), kNotFound});
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        channels.messages.clear();
        EXPECT_FALSE(engine.LoadNewBinary(c.path));
        EXPECT_EQ(channels.messages, (std::vector<std::string>{c.message}));
        EXPECT_FALSE(engine.NewImage().IsLoaded());
        EXPECT_EQ(engine.NewImage().size, 0u);
        EXPECT_EQ(engine.NewBinaryPath(), c.path);
    }
}

TEST_F(BinaryImageTest, FailedReloadDropsThePreviousContent) {
    WriteBytes(dir.Native(u8"a.bin"), "abc");
    ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"a.bin")));
    EXPECT_FALSE(engine.LoadNewBinary(dir.Cp932(u8"gone.bin")));
    EXPECT_FALSE(engine.NewImage().IsLoaded());
    EXPECT_EQ(engine.NewImage().size, 0u);

    WriteBytes(dir.Native(u8"b.bin"), "de");
    ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"b.bin")));
    EXPECT_EQ(Bytes(engine.NewImage()), "de");
}

TEST_F(BinaryImageTest, FileOf4GiBIsRefusedNotTruncated) {
    // A sparse file: the size is 2^32 bytes, taking no room on disk. Truncated to 32 bits it would read as
    // an empty file; the load must say it is too large, and allocate nothing.
#ifdef _WIN32
    GTEST_SKIP() << "a file only grows sparse on Windows when marked so";
#else
    const auto path = dir.Native(u8"huge.bin");
    WriteBytes(path, "");
    std::error_code error;
    std::filesystem::resize_file(path, std::uint64_t{1} << 32, error);
    if (error) {
        GTEST_SKIP() << "no sparse file here: " << error.message();
    }
    EXPECT_FALSE(engine.LoadOldBinary(dir.Cp932(u8"huge.bin")));
    EXPECT_EQ(channels.messages, (std::vector<std::string>{text::kFileTooLarge}));
    EXPECT_FALSE(engine.OldImage().IsLoaded());
#endif
}

TEST_F(BinaryImageTest, ReadWholeFileWritesItsOutputsOnlyOnSuccess) {
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[1]{7});
    std::uint32_t size = 1;
    EXPECT_FALSE(ReadWholeFile(dir.Cp932(u8"missing.bin"), data, size));
    ASSERT_TRUE(data);
    EXPECT_EQ(data[0], 7);
    EXPECT_EQ(size, 1u);
}

TEST(DefinitionUpdaterChannels, EmptyChannelsAreSilentAndAnswerNo) {
    CDefinitionUpdater engine;
    engine.Log("ignored");
    EXPECT_FALSE(engine.Confirm("question"));

    std::vector<std::string> lines;
    std::vector<std::string> questions;
    engine.m_log = [&](const std::string& line) { lines.push_back(line); };
    engine.m_confirm = [&](const std::string& question) {
        questions.push_back(question);
        return true;
    };
    engine.Log(Sj(u8"　行"));
    EXPECT_TRUE(engine.Confirm(Sj(u8"上書きしますか？")));
    EXPECT_EQ(lines, (std::vector<std::string>{Sj(u8"　行")}));
    EXPECT_EQ(questions, (std::vector<std::string>{Sj(u8"上書きしますか？")}));
}

} // namespace
} // namespace dovra
