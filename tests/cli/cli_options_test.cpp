#include <gtest/gtest.h>

#include "cli/cli_options.h"

namespace dovra::cli {
namespace {

CliOptions Parsed(const std::vector<std::string>& arguments) {
    auto result = ParseArguments(arguments);
    EXPECT_TRUE(std::holds_alternative<CliOptions>(result))
        << (std::holds_alternative<UsageError>(result) ? std::get<UsageError>(result).message : "");
    return std::holds_alternative<CliOptions>(result) ? std::get<CliOptions>(result) : CliOptions{};
}

std::string Refused(const std::vector<std::string>& arguments) {
    auto result = ParseArguments(arguments);
    EXPECT_TRUE(std::holds_alternative<UsageError>(result));
    return std::holds_alternative<UsageError>(result) ? std::get<UsageError>(result).message : std::string();
}

TEST(CliOptions, CreateTakesOldFolderOldBinaryNewBinary) {
    CliOptions options = Parsed({"create", "old", "old.bin", "new.bin"});
    EXPECT_EQ(options.command, Command::kCreate);
    EXPECT_EQ(options.paths.oldFolder, "old");
    EXPECT_EQ(options.paths.newFolder, "");
    EXPECT_EQ(options.paths.oldBinary, "old.bin");
    EXPECT_EQ(options.paths.newBinary, "new.bin");
    EXPECT_FALSE(options.assumeYes);
}

TEST(CliOptions, RewriteTakesBothFoldersThenBothBinaries) {
    CliOptions options = Parsed({"rewrite", "old", "new", "old.bin", "new.bin", "--yes"});
    EXPECT_EQ(options.command, Command::kRewrite);
    EXPECT_EQ(options.paths.oldFolder, "old");
    EXPECT_EQ(options.paths.newFolder, "new");
    EXPECT_EQ(options.paths.oldBinary, "old.bin");
    EXPECT_EQ(options.paths.newBinary, "new.bin");
    EXPECT_TRUE(options.assumeYes);
}

TEST(CliOptions, YesMayStandAnywhereAfterTheCommand) {
    EXPECT_TRUE(Parsed({"create", "--yes", "old", "old.bin", "new.bin"}).assumeYes);
    EXPECT_TRUE(Parsed({"--yes", "create", "old", "old.bin", "new.bin"}).assumeYes);
}

TEST(CliOptions, DoubleDashLetsPathsBeginWithADash) {
    CliOptions options = Parsed({"create", "--yes", "--", "-old", "--yes", "-"});
    EXPECT_EQ(options.paths.oldFolder, "-old");
    EXPECT_EQ(options.paths.oldBinary, "--yes");
    EXPECT_EQ(options.paths.newBinary, "-");
    EXPECT_TRUE(options.assumeYes);
}

TEST(CliOptions, EmptyAndJapanesePathsPassUnchanged) {
    CliOptions options = Parsed({"create", "", "旧 設定/表.bin", "新.bin"});
    EXPECT_EQ(options.paths.oldFolder, "");
    EXPECT_EQ(options.paths.oldBinary, "旧 設定/表.bin");
}

TEST(CliOptions, HelpAndVersionWinWhereverTheyStand) {
    EXPECT_EQ(Parsed({"--help"}).command, Command::kHelp);
    EXPECT_EQ(Parsed({"--version"}).command, Command::kVersion);
    EXPECT_EQ(Parsed({"create", "a", "--help"}).command, Command::kHelp);
    EXPECT_EQ(Parsed({"bogus", "--version", "--nonsense"}).command, Command::kVersion);
}

TEST(CliOptions, MalformedCommandLinesAreUsageErrors) {
    EXPECT_EQ(Refused({}), "コマンドがありません / no command given");
    EXPECT_EQ(Refused({"--yes"}), "コマンドがありません / no command given");
    EXPECT_EQ(Refused({"Create", "a", "b", "c"}), "不明なコマンドです: Create / unknown command");
    EXPECT_EQ(Refused({"create", "a", "b", "c", "-y"}), "不明なオプションです: -y / unknown option");
    EXPECT_EQ(Refused({"create", "a", "b"}), "createにはパスが3個必要です (2個指定) / create takes 3 paths, 2 given");
    EXPECT_EQ(Refused({"rewrite", "a", "b", "c", "d", "e"}),
              "rewriteにはパスが4個必要です (5個指定) / rewrite takes 4 paths, 5 given");
    // The create command takes no new settings folder: four paths are one too many.
    EXPECT_EQ(Refused({"create", "a", "b", "c", "d"}),
              "createにはパスが3個必要です (4個指定) / create takes 3 paths, 4 given");
}

TEST(CliOptions, BaseTakesTheNextArgumentForRewriteOnly) {
    CliOptions options = Parsed({"rewrite", "--base", "-v1.bin", "old", "new", "old.bin", "new.bin"});
    EXPECT_EQ(options.paths.baseBinary, "-v1.bin");
    EXPECT_EQ(options.paths.oldFolder, "old");
    EXPECT_EQ(options.paths.newBinary, "new.bin");
    EXPECT_EQ(Parsed({"rewrite", "old", "new", "old.bin", "new.bin", "--base=無改造.bin"}).paths.baseBinary,
              "無改造.bin");
    EXPECT_EQ(Parsed({"rewrite", "old", "new", "old.bin", "new.bin"}).paths.baseBinary, "");

    EXPECT_EQ(Refused({"rewrite", "old", "new", "old.bin", "new.bin", "--base"}),
              "--base にはパスが必要です / --base needs a path");
    // An empty path would silently give the plain rewrite.
    EXPECT_EQ(Refused({"rewrite", "old", "new", "old.bin", "new.bin", "--base="}),
              "--base にはパスが必要です / --base needs a path");
    EXPECT_EQ(Refused({"rewrite", "--base", "a", "old", "new", "old.bin", "new.bin", "--base", "b"}),
              "--base は1回だけ指定できます / --base may be given once");
    EXPECT_EQ(Refused({"create", "old", "old.bin", "new.bin", "--base", "v1.bin"}),
              "--base は rewrite でのみ使えます / --base is for rewrite only");
}

TEST(CliOptions, ReportTakesTheNextArgumentForEitherCommand) {
    CliOptions options = Parsed({"create", "--report", "--yes", "old", "old.bin", "new.bin"});
    EXPECT_EQ(options.reportPath, "--yes"); // the path, not the option
    EXPECT_FALSE(options.assumeYes);
    EXPECT_EQ(options.paths.oldFolder, "old");
    EXPECT_EQ(
        Parsed({"rewrite", "old", "new", "old.bin", "new.bin", "--report=結果.json", "--base", "v1.bin"}).reportPath,
        "結果.json");
    EXPECT_EQ(Parsed({"create", "old", "old.bin", "new.bin"}).reportPath, "");
    // After "--" it is a path like any other: one too many here.
    EXPECT_EQ(Refused({"create", "old", "old.bin", "--", "new.bin", "--report"}),
              "createにはパスが3個必要です (4個指定) / create takes 3 paths, 4 given");

    EXPECT_EQ(Refused({"create", "old", "old.bin", "new.bin", "--report"}),
              "--report にはパスが必要です / --report needs a path");
    EXPECT_EQ(Refused({"create", "old", "old.bin", "new.bin", "--report="}),
              "--report にはパスが必要です / --report needs a path");
    EXPECT_EQ(Refused({"create", "--report", "a.json", "old", "old.bin", "new.bin", "--report=b.json"}),
              "--report は1回だけ指定できます / --report may be given once");
}

} // namespace
} // namespace dovra::cli
