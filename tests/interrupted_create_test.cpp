// A create run that is interrupted half-way, in a child process: the earlier output folder must stay as it
// was and no folder of the run may be left behind. POSIX only (the child is forked).
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/definition_updater.h"
#include "engine/interrupt_cleanup.h"
#include "support/test_support.h"

namespace dovra::test {
namespace {

#ifndef _WIN32

const std::string kTableBytes = "\x11\x22\x33\x44\x55\x66\x77\x88";

std::string Image(std::size_t size, std::size_t offset) {
    std::string image(size, '\0');
    image.replace(offset, kTableBytes.size(), kTableBytes);
    return image;
}

class InterruptedCreate : public ::testing::Test {
protected:
    void SetUp() override {
        for (int k = 0; k < 6; ++k) {
            const auto name = "t" + std::to_string(k);
            WriteBytes(dir.Path() / "old" / (name + ".ini"), "1000,HP,2,4,\r\n");
            WriteBytes(dir.Path() / "old" / (name + ".idn"), "x\r\n");
        }
        WriteBytes(dir.Native(u8"old.bin"), Image(0x2000, 0x1000));
        WriteBytes(dir.Native(u8"new.bin"), Image(0x2000, 0x1100));
        WriteBytes(dir.Native(u8"old_NEW/t0.ini"), "an earlier run");
        WriteBytes(dir.Native(u8"old_NEW/notes.txt"), "mine");
        earlier = SnapshotTree(dir.Native(u8"old_NEW"));
    }

    // Runs the create command in a child that stops itself with `how` once `files` definition files are
    // written; gives the child's wait status.
    // `before` runs first in the child, as what the child was started with.
    int RunInterrupted(int files, void (*how)(), void (*before)() = nullptr) {
        const pid_t child = fork();
        if (child == 0) {
            // The test may run where these are ignored (a background job), and ignored they stay.
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGHUP, SIG_DFL);
            if (before != nullptr) {
                before();
            }
            InstallInterruptCleanup();
            CDefinitionUpdater engine;
            int written = 0;
            engine.m_confirm = [](const std::string&) { return true; };
            engine.m_log = [&](const std::string& line) {
                if (line.find(".ini") != std::string::npos && ++written == files) {
                    how();
                }
            };
            engine.LoadOldSettings(dir.Cp932(u8"old"));
            engine.LoadOldBinary(dir.Cp932(u8"old.bin"));
            engine.LoadNewBinary(dir.Cp932(u8"new.bin"));
            engine.CreateDefinitions();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    TreeSnapshot earlier;
};

const std::vector<std::string> kUntouched = {"new.bin", "old", "old.bin", "old_NEW"};

TEST_F(InterruptedCreate, TerminatedRunLeavesTheEarlierFolderAndNothingElse) {
    const int status = RunInterrupted(3, [] {
        kill(getpid(), SIGTERM);
        pause(); // the interrupt's own thread cleans up and ends the process
    });

    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(SnapshotTree(dir.Native(u8"old_NEW")), earlier);
    EXPECT_EQ(Entries(), kUntouched);
}

TEST_F(InterruptedCreate, CtrlCAndAClosedTerminalCleanUpAsTerminationDoes) {
    for (int signal : {SIGINT, SIGHUP}) {
        static int chosen = 0;
        chosen = signal;
        const int status = RunInterrupted(2, [] {
            kill(getpid(), chosen);
            pause();
        });

        ASSERT_TRUE(WIFSIGNALED(status)) << signal << ": " << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(SnapshotTree(dir.Native(u8"old_NEW")), earlier) << signal;
        EXPECT_EQ(Entries(), kUntouched) << signal;
    }
}

TEST_F(InterruptedCreate, ASignalIgnoredAtTheStartStaysIgnored) {
    // As under nohup: the closed terminal's SIGHUP must not end the run.
    const int status = RunInterrupted(
        2, [] { kill(getpid(), SIGHUP); }, [] { std::signal(SIGHUP, SIG_IGN); });

    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW/t0.ini")), "1100,HP,2,4,\n");
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW.bak/t0.ini")), "an earlier run");
}

TEST_F(InterruptedCreate, KilledRunLeavesTheEarlierFolderAndTheNextRunClearsWhatWasLeft) {
    // Killed outright, nothing can clean up: the earlier folder must still be whole, and the next run
    // removes the run's folder.
    const int status = RunInterrupted(3, [] { _exit(9); });
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << status;
    EXPECT_EQ(SnapshotTree(dir.Native(u8"old_NEW")), earlier);
    EXPECT_EQ(Entries().size(), kUntouched.size() + 1) << "the unfinished folder of the killed run";

    CDefinitionUpdater engine;
    CapturedChannels channels{engine};
    engine.m_confirm = [](const std::string&) { return true; };
    engine.LoadOldSettings(dir.Cp932(u8"old"));
    ASSERT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
    ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
    EXPECT_TRUE(engine.CreateDefinitions());

    auto expected = kUntouched;
    expected.push_back("old_NEW.bak");
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW.bak/t0.ini")), "an earlier run");
    EXPECT_EQ(ReadBytes(dir.Native(u8"old_NEW/t0.ini")), "1100,HP,2,4,\n");
}

#endif

} // namespace
} // namespace dovra::test
