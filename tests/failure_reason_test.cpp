#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/failure_reason.h"
#include "engine/file_system.h"
#include "engine/path_text.h"
#include "migration/atomic_copy.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::Sj;
using test::TempDir;
using test::WriteBytes;

// The reason a failure line carries is the one of the operation that just failed, never one left over from
// an earlier failure.
class FailureReason : public ::testing::Test {
protected:
    std::string Said() const { return WithFailureReason("x"); }

    TempDir dir;
};

TEST_F(FailureReason, ANameTooLongForTheFileSystemIsSaid) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows measures the whole path, not the name, and says so in its own terms";
#else
    EXPECT_FALSE(CreateFolder(JoinPath(dir.Cp932(), std::string(300, 'n'))));
    EXPECT_EQ(Said(), "x" + Sj(u8"（名前が長すぎます）"));
    EXPECT_FALSE(WriteFileAtomically(JoinPath(dir.Cp932(), std::string(300, 'n')), "y", 1));
    EXPECT_EQ(Said(), "x" + Sj(u8"（名前が長すぎます）"));
#endif
}

TEST_F(FailureReason, AMissingFolderOnTheWayIsNotFound) {
    EXPECT_FALSE(WriteFileAtomically(dir.Cp932(u8"missing/a.ini"), "y", 1));
    EXPECT_EQ(Said(), "x" + Sj(u8"（見つかりません）"));
    EXPECT_FALSE(CopyFileAtomically(dir.Cp932(u8"gone.idn"), dir.Cp932(u8"copy.idn")));
    EXPECT_EQ(Said(), "x" + Sj(u8"（見つかりません）"));
}

TEST_F(FailureReason, AFolderInTheWayOfACopyIsSaid) {
    WriteBytes(dir.Native(u8"a.idn"), "r\n");
    std::filesystem::create_directory(dir.Native(u8"out"));
    std::filesystem::create_directory(dir.Native(u8"out/a.idn"));
    EXPECT_FALSE(CopyFileAtomically(dir.Cp932(u8"a.idn"), dir.Cp932(u8"out/a.idn")));
    EXPECT_EQ(Said(), "x" + Sj(u8"（フォルダです）"));
}

TEST_F(FailureReason, AFailureWithoutAReasonDoesNotBorrowAnEarlierOne) {
    EXPECT_FALSE(WriteFileAtomically(dir.Cp932(u8"missing/a.ini"), "y", 1));
    ASSERT_NE(Said(), "x");
    // A lead byte without its trail byte names no file at all; the system was never asked.
    EXPECT_FALSE(CreateFolder(JoinPath(dir.Cp932(), "a\x81")));
    EXPECT_EQ(Said(), "x");
}

TEST_F(FailureReason, AReasonWithoutAShortTranslationIsGivenAsTheSystemSaysIt) {
    NoteFailure(std::make_error_code(std::errc::io_error));
    const std::string said = Said();
    EXPECT_EQ(said.rfind("x" + Sj(u8"（"), 0), 0u) << said;
    EXPECT_GT(said.size(), ("x" + Sj(u8"（）")).size()) << said;
    EXPECT_EQ(said.substr(said.size() - Sj(u8"）").size()), Sj(u8"）"));
}

} // namespace
} // namespace dovra
