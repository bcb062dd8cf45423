// The --report file of the built dovra-updater-cli, read back as a script would and held against the log the
// same run printed: every table of the log is in the report with the outcome the log gives it, every
// question on the terminal is there with its answer, and the totals agree with the tables.
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli_process.h"
#include "support/test_support.h"

namespace dovra::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kExamples = fs::path(DOVRA_SOURCE_DIR) / "examples";

bool Has(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

struct LoggedTable {
    std::string outcome;
    std::vector<std::string> notes;  // the ※ lines
    std::uint32_t fieldLines = 0;    // "…を書き換え" lines of a field-by-field rewrite
    std::uint32_t conflictLines = 0; // "…は更新でも変わっています" lines
};

// The log's blocks (separated by empty lines), each as its lines; a field name on a line of its own
// continues the line before it, as the log shows record names that end in a line break.
std::vector<std::vector<std::string>> Blocks(const std::string& log) {
    std::vector<std::vector<std::string>> blocks(1);
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            blocks.emplace_back();
        } else if (!blocks.back().empty() && line.starts_with("の")) {
            blocks.back().back() += line;
        } else {
            blocks.back().push_back(line);
        }
    }
    return blocks;
}

// What the create log says of each table: the blocks after the table stage's heading, up to the summary.
std::map<std::string, LoggedTable> CreateLogTables(const std::string& log) {
    std::map<std::string, LoggedTable> tables;
    bool inTables = false;
    for (const auto& block : Blocks(log)) {
        if (block.empty()) {
            continue;
        }
        std::size_t first = 0;
        if (block.front() == "--- iniファイル作成開始 ---") {
            inTables = true;
            first = 1;
        }
        if (!inTables || first >= block.size() || block[first] == "--- 結果 ---") {
            continue;
        }
        const std::string& name = block[first];
        LoggedTable table;
        std::string joined;
        for (std::size_t i = first + 1; i < block.size(); ++i) {
            if (block[i].starts_with("　※")) {
                table.notes.push_back(block[i]);
            }
            joined += block[i] + "\n";
        }
        if (Has(joined, "失敗しました") || Has(joined, "変換できませんでした") || Has(joined, "範囲外") ||
            Has(joined, "サイズが0")) {
            table.outcome = "error";
        } else if (Has(joined, "同アドレスのため更新不要")) {
            table.outcome = "same_address";
        } else if (Has(joined, "ずつ書き換え")) {
            table.outcome = Has(joined, "データ発見") ? "moved" : "similar";
        } else {
            table.outcome = "not_found";
        }
        tables[name] = table;
    }
    return tables;
}

// What the rewrite log says of each table: a block that begins with the name and its address line.
std::map<std::string, LoggedTable> RewriteLogTables(const std::string& log) {
    std::map<std::string, LoggedTable> tables;
    for (const auto& block : Blocks(log)) {
        if (block.size() < 3 || !block[1].starts_with("　ADDR:")) {
            continue;
        }
        LoggedTable table;
        std::string joined;
        for (std::size_t i = 3; i < block.size(); ++i) {
            table.fieldLines += Has(block[i], "を書き換え") ? 1 : 0;
            table.conflictLines += Has(block[i], "は更新でも変わっています") ? 1 : 0;
            joined += block[i] + "\n";
        }
        if (Has(joined, "新旧データ一致")) {
            table.outcome = "match";
        } else if (Has(joined, "変更なし")) {
            table.outcome = "unchanged";
        } else if (Has(joined, "存在しません") || Has(joined, "範囲外")) {
            table.outcome = "error";
        } else if (table.fieldLines > 0) {
            table.outcome = "rewritten";
        } else {
            table.outcome = "skipped";
        }
        tables[block[0]] = table;
    }
    return tables;
}

// The questions and notices the terminal showed, each with the answer it echoed.
std::vector<std::pair<std::string, bool>> Prompts(const std::string& err) {
    std::vector<std::pair<std::string, bool>> prompts;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        for (const auto& [suffix, answer] : {std::pair{" [y/N] y", true}, std::pair{" [y/N] n", false}}) {
            if (line.ends_with(suffix)) {
                prompts.emplace_back(line.substr(0, line.size() - std::string_view(suffix).size()), answer);
            }
        }
    }
    return prompts;
}

class CliReport : public ::testing::Test {
protected:
    void SetUp() override { fs::copy(kExamples, m_work.Path(), fs::copy_options::recursive); }

    CliRun Run(std::vector<std::string> arguments, std::string_view input = {}) const {
        arguments.insert(arguments.end(), {"--report", "report.json"});
        return RunCli(m_work.Path(), arguments, input);
    }
    json Report() const { return json::parse(ReadBytes(m_work.Path() / "report.json")); }
    const fs::path& Work() const { return m_work.Path(); }

    // The parts every report has, whatever the command.
    static void ExpectAnswersAsOnTheTerminal(const json& report, const CliRun& run) {
        const auto prompts = Prompts(run.err);
        ASSERT_EQ(report["answers"].size(), prompts.size()) << run.err;
        for (std::size_t i = 0; i < prompts.size(); ++i) {
            EXPECT_EQ(report["answers"][i]["question"], prompts[i].first);
            EXPECT_EQ(report["answers"][i]["answer"], prompts[i].second);
        }
        EXPECT_EQ(report["exit_status"], run.exitStatus);
        EXPECT_EQ(report["version"], DOVRA_VERSION);
    }

private:
    TempDir m_work;
};

void ExpectCreateReportAsLogged(const json& report, const std::string& log) {
    const auto logged = CreateLogTables(log);
    ASSERT_FALSE(logged.empty()) << log;
    ASSERT_EQ(report["tables"].size(), logged.size());
    std::map<std::string, std::size_t> counts;
    for (const json& table : report["tables"]) {
        const std::string name = table["name"];
        ASSERT_TRUE(logged.contains(name)) << name;
        EXPECT_EQ(table["outcome"], logged.at(name).outcome) << name;
        EXPECT_EQ(table["notes"], json(logged.at(name).notes)) << name;
        ++counts[table["outcome"]];
        // A table written somewhere names that place; one left out names none.
        const bool placed = table["outcome"] != "not_found" && table["outcome"] != "error";
        if (placed) {
            EXPECT_TRUE(table["new_address"].is_number()) << name;
        }
    }
    const json& summary = report["summary"];
    EXPECT_EQ(summary["moved"], counts["moved"]);
    EXPECT_EQ(summary["same_address"], counts["same_address"]);
    EXPECT_EQ(summary["similar"], counts["similar"]);
    EXPECT_EQ(summary["not_found"], counts["not_found"]);
    EXPECT_EQ(summary["errors"], counts["error"]);
    // The log's own summary line carries the same figures.
    EXPECT_TRUE(Has(log, "移動 " + std::to_string(counts["moved"]) + "　同アドレス " +
                             std::to_string(counts["same_address"]) + "　似たデータ " +
                             std::to_string(counts["similar"]) + "　見つからず " + std::to_string(counts["not_found"]) +
                             "　エラー " + std::to_string(counts["error"]) + "\n要確認 " +
                             std::to_string(summary["needs_check"].get<std::size_t>()) + "\n"))
        << log;
}

void ExpectRewriteReportAsLogged(const json& report, const std::string& log) {
    const auto logged = RewriteLogTables(log);
    ASSERT_FALSE(logged.empty()) << log;
    ASSERT_EQ(report["tables"].size(), logged.size());
    std::uint64_t fields = 0;
    std::map<std::string, std::size_t> counts;
    for (const json& table : report["tables"]) {
        const std::string name = table["name"];
        ASSERT_TRUE(logged.contains(name)) << name;
        EXPECT_EQ(table["outcome"], logged.at(name).outcome) << name;
        EXPECT_EQ(table["fields_written"], logged.at(name).fieldLines) << name;
        EXPECT_EQ(table["conflicts"], logged.at(name).conflictLines) << name;
        fields += table["fields_written"].get<std::uint64_t>();
        ++counts[table["outcome"]];
    }
    for (const char* outcome : {"match", "rewritten", "unchanged", "skipped", "error"}) {
        EXPECT_EQ(report["summary"][outcome], counts[outcome]) << outcome;
    }
    EXPECT_EQ(report["summary"]["fields_written"], fields);
}

TEST_F(CliReport, CreateReportsEveryTableAsTheLogDoes) {
    CliRun run = Run({"create", "settings", "game_v1.bin", "game_v2.bin", "--yes"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const json report = Report();
    EXPECT_EQ(report["command"], "create");
    EXPECT_EQ(
        report["paths"],
        json({{"old_settings_folder", "settings"}, {"old_binary", "game_v1.bin"}, {"new_binary", "game_v2.bin"}}));
    ExpectCreateReportAsLogged(report, run.out);
    ExpectAnswersAsOnTheTerminal(report, run);
    // The sample moves two tables, keeps one in place and loses one (examples/README.md).
    EXPECT_EQ(report["summary"]["moved"], 2);
    EXPECT_EQ(report["summary"]["not_found"], 1);
}

TEST_F(CliReport, CreateReportsNotesErrorsAndMatchCountsAsTheLogDoes) {
    // The spells' six bytes a second time at the new binary's end; two tables without records (size 0).
    std::string newBinary = ReadBytes(Work() / "game_v2.bin");
    newBinary += ReadBytes(Work() / "game_v1.bin").substr(0x10, 6);
    WriteBytes(Work() / "game_v2.bin", newBinary);
    WriteBytes(Work() / "settings" / "beyond.ini", "00001000,x,1,2,0,,,0,,,\r\n");
    WriteBytes(Work() / "settings" / "zero.ini", "00000000,x,1,2,0,,,0,,,\r\n");

    CliRun run = Run({"create", "settings", "game_v1.bin", "game_v2.bin", "--yes"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const json report = Report();
    ExpectCreateReportAsLogged(report, run.out);
    ExpectAnswersAsOnTheTerminal(report, run);
    EXPECT_EQ(report["summary"]["errors"], 2);
    EXPECT_EQ(report["summary"]["needs_check"], 1);
    for (const json& table : report["tables"]) {
        if (table["name"] == "呪文") {
            EXPECT_EQ(table["match_count"], 2);
            EXPECT_EQ(table["notes"].size(), 2u);
        }
        if (table["outcome"] == "error") {
            EXPECT_TRUE(table["new_address"].is_null()) << table["name"];
        }
    }
}

TEST_F(CliReport, RewriteReportsEveryTableAsTheLogDoes) {
    ASSERT_EQ(RunCli(Work(), {"create", "settings", "game_v1.bin", "game_v2.bin", "--yes"}).exitStatus, 0);
    // Yes to the first table, no to the second: one rewritten, one skipped.
    CliRun run = Run({"rewrite", "settings", "settings_NEW", "game_v1_edited.bin", "game_v2.bin"}, "y\nn\ny\n");
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const json report = Report();
    EXPECT_EQ(report["command"], "rewrite");
    EXPECT_EQ(report["paths"]["new_settings_folder"], "settings_NEW");
    EXPECT_TRUE(report["paths"]["base_binary"].is_null());
    ExpectRewriteReportAsLogged(report, run.out);
    ExpectAnswersAsOnTheTerminal(report, run);
    EXPECT_EQ(report["summary"]["rewritten"], 1);
    EXPECT_EQ(report["summary"]["skipped"], 1);
}

TEST_F(CliReport, ThreeWayRewriteReportsUnchangedTablesAndTheBase) {
    ASSERT_EQ(RunCli(Work(), {"create", "settings", "game_v1.bin", "game_v2.bin", "--yes"}).exitStatus, 0);
    CliRun run = Run(
        {"rewrite", "settings", "settings_NEW", "game_v1_edited.bin", "game_v2.bin", "--base", "game_v1.bin", "--yes"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const json report = Report();
    EXPECT_EQ(report["paths"]["base_binary"], "game_v1.bin");
    ExpectRewriteReportAsLogged(report, run.out);
    ExpectAnswersAsOnTheTerminal(report, run);
    EXPECT_EQ(report["summary"]["unchanged"], 1);
}

TEST_F(CliReport, ALoadThatFailsStillLeavesAReportOfNoTables) {
    CliRun run = Run({"create", "settings", "missing.bin", "game_v2.bin", "--yes"});
    EXPECT_EQ(run.exitStatus, 1);
    const json report = Report();
    EXPECT_EQ(report["exit_status"], 1);
    EXPECT_TRUE(report["tables"].empty());
}

TEST_F(CliReport, AReportThatCannotBeWrittenExitsWith3AndLeavesNothingBehind) {
    fs::create_directory(Work() / "report.json"); // a folder where the file should go
    CliRun run = Run({"create", "settings", "game_v1.bin", "game_v2.bin", "--yes"});
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_TRUE(Has(run.err, "report.json")) << run.err;
    EXPECT_TRUE(fs::is_directory(Work() / "report.json"));
    // The command itself ran: its folder is there.
    EXPECT_TRUE(fs::exists(Work() / "settings_NEW"));
    for (const auto& entry : fs::directory_iterator(Work())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("report.json.")) << entry.path();
    }
}

TEST_F(CliReport, ReportWithoutAPathOrTwiceIsAUsageError) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"create", "settings", "game_v1.bin", "game_v2.bin", "--report"},
             {"create", "settings", "game_v1.bin", "game_v2.bin", "--report="},
             {"create", "settings", "game_v1.bin", "game_v2.bin", "--report", "a.json", "--report=b.json"}}) {
        CliRun run = RunCli(Work(), arguments);
        EXPECT_EQ(run.exitStatus, 2) << arguments.back();
        EXPECT_FALSE(fs::exists(Work() / "settings_NEW"));
    }
    // The path is the next argument whatever it looks like.
    CliRun run = RunCli(Work(), {"create", "settings", "game_v1.bin", "game_v2.bin", "--report", "-r.json", "--yes"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(fs::exists(Work() / "-r.json"));
}

} // namespace
} // namespace dovra::test
