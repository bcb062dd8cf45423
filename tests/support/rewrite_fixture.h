#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "engine/definition_updater.h"
#include "support/test_support.h"

namespace dovra::test {

// One definition line: ten comma-terminated columns, the address and the record size in hexadecimal.
inline std::string DefinitionLine(std::uint32_t address, std::string_view name, std::string_view width,
                                  std::string_view size = "") {
    return fmt::format("{:X},{},{},{},0,,,0,,,\n", address, name, width, size);
}

// `size` zero bytes with `bytes` placed at `offset`.
inline std::string Image(std::size_t size, std::size_t offset = 0, std::string_view bytes = {}) {
    std::string image(size, '\0');
    image.replace(offset, bytes.size(), bytes);
    return image;
}

// A rewrite on real files in a temporary folder: settings folders old/ and new/, binaries old.bin and
// new.bin, loaded in the order the rewrite button uses.
class RewriteFixture : public ::testing::Test {
protected:
    void WriteTable(std::u8string_view folder, std::u8string_view table, std::string_view ini, std::string_view idn) {
        std::u8string stem = std::u8string(folder) + u8"/" + std::u8string(table);
        WriteBytes(dir.Native(stem + u8".ini"), ini);
        WriteBytes(dir.Native(stem + u8".idn"), idn);
    }

    void WriteBinaries(std::string_view oldBinary, std::string_view newBinary) {
        WriteBytes(dir.Native(u8"old.bin"), oldBinary);
        WriteBytes(dir.Native(u8"new.bin"), newBinary);
    }

    void Load(std::u8string_view oldBinaryName = u8"old.bin") {
        engine.LoadOldSettings(dir.Cp932(u8"old"));
        engine.LoadNewSettings(dir.Cp932(u8"new"));
        EXPECT_TRUE(engine.LoadOldBinary(dir.Cp932(oldBinaryName)));
        EXPECT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
        EXPECT_EQ(channels.messages, std::vector<std::string>{}) << "the fixture's files should load cleanly";
    }

    bool Run(std::string_view oldBinary, std::string_view newBinary) {
        WriteBinaries(oldBinary, newBinary);
        Load();
        return engine.Rewrite();
    }

    std::string OutputPath() const { return dir.Cp932(u8"new.bin") + ".new"; }
    std::string OutputNotice() const { return Sj(u8"新バイナリファイルを") + OutputPath() + Sj(u8"に出力しました"); }
    std::string FailureNotice() const { return Sj(u8"新バイナリファイルの出力に失敗しました: ") + OutputPath(); }
    std::string Output() const { return ReadBytes(dir.Native(u8"new.bin.new")); }

    TempDir dir;
    CDefinitionUpdater engine;
    CapturedChannels channels{engine};
};

} // namespace dovra::test
