// A disk that fills up while the commands write: each write must end as a reported failure, with no
// partial file left where a complete one belongs and no temporary file behind, and the inputs as they
// were. The disk is a 64 KiB tmpfs mounted on a folder of the test, so it needs a Linux machine where the
// test may mount (root with CAP_SYS_ADMIN); elsewhere the tests are skipped and say why.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef __linux__
#include <sys/mount.h>
#endif

#include "engine/definition_updater.h"
#include "engine/path_text.h"
#include "support/rewrite_fixture.h"
#include "support/test_support.h"

namespace dovra::test {
namespace {

using Lines = std::vector<std::string>;
// What the system says of a full disk, appended to every failure line.
const std::string kNoSpace = Sj(u8"（ディスクの空き容量が足りません）");

// A 64 KiB file system mounted on `folder` for the object's life.
class SmallFileSystem {
public:
    explicit SmallFileSystem(std::filesystem::path folder) : m_folder(std::move(folder)) {
        std::filesystem::create_directories(m_folder);
#ifdef __linux__
        if (mount("tmpfs", m_folder.c_str(), "tmpfs", 0, "size=64k") != 0) {
            m_failure =
                std::string("cannot mount a small tmpfs here (needs root allowed to mount): ") + std::strerror(errno);
            return;
        }
        m_mounted = true;
#else
        m_failure = "a small file system can only be mounted by these tests on Linux";
#endif
    }
    ~SmallFileSystem() {
#ifdef __linux__
        if (m_mounted && umount2(m_folder.c_str(), MNT_DETACH) != 0) {
            ADD_FAILURE() << "cannot unmount " << m_folder << ": " << std::strerror(errno);
        }
#endif
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    const std::optional<std::string>& Failure() const {
        return m_failure;
    }

    // Fills the file system with a file "filler", then gives `spare` bytes back.
    void Fill(std::uintmax_t spare) const {
        const auto filler = m_folder / "filler";
        {
            std::ofstream out(filler, std::ios::binary);
            const std::string block(4096, 'f');
            while (out.write(block.data(), static_cast<std::streamsize>(block.size())).flush()) {
            }
        }
        const auto size = std::filesystem::file_size(filler);
        ASSERT_GE(size, spare);
        std::filesystem::resize_file(filler, size - spare);
    }

    std::set<std::string> Names(const std::filesystem::path& folder) const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

private:
    std::filesystem::path m_folder;
    bool m_mounted = false;
    std::optional<std::string> m_failure;
};

// Bytes that differ from place to place, so a truncated copy cannot pass for a complete one.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 % 251);
    }
    return bytes;
}

class DiskFull : public ::testing::Test {
protected:
    void SetUp() override {
        if (disk.Failure()) {
            GTEST_SKIP() << *disk.Failure();
        }
    }

    TempDir dir;
    SmallFileSystem disk{dir.Native(u8"small")};
    CDefinitionUpdater engine;
    CapturedChannels channels{engine};
};

TEST_F(DiskFull, RewriteOutputThatDoesNotFitIsReportedAndLeftOut) {
    // The new binary lies on the small disk; its 40 KiB output finds room for 8 KiB, then none.
    WriteBytes(dir.Native(u8"old/A.ini"), DefinitionLine(0, "X", "1", "2") + DefinitionLine(1, "Y", "1"));
    WriteBytes(dir.Native(u8"old/A.idn"), "one\n");
    WriteBytes(dir.Native(u8"new/A.ini"), DefinitionLine(0x100, "X", "1", "2") + DefinitionLine(0x101, "Y", "1"));
    WriteBytes(dir.Native(u8"new/A.idn"), "one\n");
    WriteBytes(dir.Native(u8"old.bin"), Image(0x10, 0, "\x01\x02"));
    WriteBytes(dir.Native(u8"small/new.bin"), Pattern(40 << 10));
    disk.Fill(8 << 10);
    const TreeSnapshot inputs = SnapshotTree(dir.Path());

    engine.LoadOldSettings(dir.Cp932(u8"old"));
    engine.LoadNewSettings(dir.Cp932(u8"new"));
    ASSERT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
    ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"small/new.bin")));
    EXPECT_FALSE(engine.Rewrite());

    const std::string failure =
        Sj(u8"新バイナリファイルの出力に失敗しました: ") + dir.Cp932(u8"small/new.bin") + ".new" + kNoSpace;
    EXPECT_EQ(channels.questions.back(), failure);
    EXPECT_EQ(channels.log.back(), failure);
    EXPECT_EQ(disk.Names(dir.Native(u8"small")), (std::set<std::string>{"filler", "new.bin"}));
    EXPECT_EQ(SnapshotTree(dir.Path()), inputs);
}

TEST_F(DiskFull, CreateReportsEveryFileThatCannotBeWrittenAndLeavesNoneHalfWritten) {
    // The old settings folder lies on the small disk, so the new one is made there: a moved table (a),
    // a table at its old address (b) and their name lists all meet a full disk.
    const std::string tableBytes = "\x11\x22\x33\x44\x55\x66\x77\x88";
    WriteBytes(dir.Native(u8"small/old/a.ini"), "10,HP,2,4,0,,,0,,,\r\n12,MP,2,,0,,,0,,,\r\n");
    WriteBytes(dir.Native(u8"small/old/a.idn"), "Alice\r\nBob\r\n");
    WriteBytes(dir.Native(u8"small/old/b.ini"), "30,X,1,1,0,,,0,,,\r\n");
    WriteBytes(dir.Native(u8"small/old/b.idn"), "only\r\n");
    WriteBytes(dir.Native(u8"old.bin"), Image(0x40, 0x10, tableBytes).replace(0x30, 1, "\x99"));
    WriteBytes(dir.Native(u8"new.bin"), Image(0x40, 0x20, tableBytes).replace(0x30, 1, "\x99"));
    disk.Fill(0);
    const TreeSnapshot inputs = SnapshotTree(dir.Path(), {"small"});
    const TreeSnapshot oldFolder = SnapshotTree(dir.Native(u8"small/old"));

    const std::string old = dir.Cp932(u8"small/old");
    const std::string output = dir.Cp932(u8"small/old_NEW");
    engine.LoadOldSettings(old);
    ASSERT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
    ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
    EXPECT_FALSE(engine.CreateDefinitions());

    const Lines expected = {
        output + Sj(u8"フォルダを作成"),
        Sj(u8"--- idnファイルの複製 ---"),
        Sj(u8"コピー失敗: ") + JoinPath(old, "a.idn") + kNoSpace + "\n",
        Sj(u8"コピー失敗: ") + JoinPath(old, "b.idn") + kNoSpace + "\n",
        "",
        Sj(u8"--- iniファイル作成開始 ---"),
        "a",
        Sj(u8"　ADDR: 00000010"),
        Sj(u8"　Size: 8"),
        Sj(u8"　00000020にデータ発見。"),
        Sj(u8"　アドレスを16ずつ書き換え"),
        Sj(u8"　") + JoinPath(output, "a.ini") + Sj(u8"の書き込みに失敗しました") + kNoSpace,
        "",
        "b",
        Sj(u8"　ADDR: 00000030"),
        Sj(u8"　Size: 1"),
        Sj(u8"　00000030にデータ発見。"),
        Sj(u8"　同アドレスのため更新不要。ファイルをコピーします。"),
        Sj(u8"　") + JoinPath(old, "b.ini") + Sj(u8"のコピーに失敗しました") + kNoSpace,
        "",
        Sj(u8"--- 結果 ---"),
        Sj(u8"移動 0　同アドレス 0　似たデータ 0　見つからず 0　エラー 2"),
        Sj(u8"要確認 0"),
        Sj(u8"4個のファイルを書き込めませんでした"),
    };
    EXPECT_EQ(channels.log, expected);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Native(u8"small/old_NEW")));
    EXPECT_EQ(SnapshotTree(dir.Native(u8"small/old")), oldFolder);
    EXPECT_EQ(SnapshotTree(dir.Path(), {"small"}), inputs);
}

} // namespace
} // namespace dovra::test
