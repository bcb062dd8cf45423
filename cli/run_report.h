#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_options.h"
#include "cli/exit_status.h"

class CDefinitionUpdater;

// The machine-readable account of one command (--report): what ran on which files, what became of every
// table, how every question was answered and the totals. Texts are the log's own, in UTF-8.
namespace dovra::cli {

struct PromptAnswer {
    std::string question; // code page 932, as the engine asked it
    bool answer = false;
};

struct RunRecord {
    Command command = Command::kCreate;
    CommandPaths paths; // UTF-8, as given on the command line
    std::vector<PromptAnswer> prompts;
    ExitStatus status = kExitCompleted;
};

// The report of the command the engine last ran (its tables are empty when a load stopped the command).
nlohmann::json BuildReport(const RunRecord& run, const CDefinitionUpdater& engine);

// Writes the report as UTF-8 JSON: the file holds either the whole report or what it held before.
// `path` is in code page 932.
bool WriteReport(std::string_view path, const nlohmann::json& report);

} // namespace dovra::cli
