#include "cli/cli_options.h"

#include <string_view>

#include <fmt/format.h>

#include "cli/cli_texts.h"

namespace dovra::cli {
namespace {

// An option that takes a path: every path it was given, and whether it was given last with none.
struct PathOption {
    std::string_view name;
    std::vector<std::string> paths;
    bool withoutPath = false;
};

struct Split {
    std::vector<std::string> positional;
    std::vector<std::string> options;
    PathOption base{"--base", {}, false};
    PathOption report{"--report", {}, false};
};

bool TakePathOption(const std::vector<std::string>& arguments, std::size_t& i, PathOption& option) {
    const std::string& argument = arguments[i];
    if (argument == option.name) {
        if (i + 1 < arguments.size()) {
            option.paths.push_back(arguments[++i]);
        } else {
            option.withoutPath = true;
        }
        return true;
    }
    if (argument.starts_with(std::string(option.name) + "=")) {
        option.paths.push_back(argument.substr(option.name.size() + 1));
        return true;
    }
    return false;
}

// Options and positional arguments in their own order; everything after "--" is positional, and so is a
// lone "-" (a file may well be named that).
Split SplitArguments(const std::vector<std::string>& arguments) {
    Split split;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!optionsEnded && (TakePathOption(arguments, i, split.base) || TakePathOption(arguments, i, split.report))) {
            continue;
        }
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            split.options.push_back(argument);
        } else {
            split.positional.push_back(argument);
        }
    }
    return split;
}

bool Contains(const std::vector<std::string>& list, const char* wanted) {
    for (const auto& item : list) {
        if (item == wanted) {
            return true;
        }
    }
    return false;
}

} // namespace

std::variant<CliOptions, UsageError> ParseArguments(const std::vector<std::string>& arguments) {
    Split split = SplitArguments(arguments);
    CliOptions options;
    if (Contains(split.options, "--help")) {
        options.command = Command::kHelp;
        return options;
    }
    if (Contains(split.options, "--version")) {
        options.command = Command::kVersion;
        return options;
    }
    for (const auto& option : split.options) {
        if (option != "--yes") {
            return UsageError{fmt::format(fmt::runtime(kUnknownOption), option)};
        }
        options.assumeYes = true;
    }
    // An empty path is refused rather than taken as "no base": a script's unset variable would otherwise
    // turn a three-way rewrite into a plain one that overwrites the update's changes.
    if (split.base.withoutPath || (split.base.paths.size() == 1 && split.base.paths.front().empty())) {
        return UsageError{kBaseWithoutPath};
    }
    if (split.base.paths.size() > 1) {
        return UsageError{kBaseGivenTwice};
    }
    // A second --report would leave one of the two files silently unwritten.
    if (split.report.withoutPath || (split.report.paths.size() == 1 && split.report.paths.front().empty())) {
        return UsageError{kReportWithoutPath};
    }
    if (split.report.paths.size() > 1) {
        return UsageError{kReportGivenTwice};
    }
    if (!split.report.paths.empty()) {
        options.reportPath = split.report.paths.front();
    }
    if (split.positional.empty()) {
        return UsageError{kNoCommand};
    }
    const std::string& name = split.positional.front();
    std::size_t expected = 0;
    if (name == "create") {
        options.command = Command::kCreate;
        expected = 3;
    } else if (name == "rewrite") {
        options.command = Command::kRewrite;
        expected = 4;
    } else {
        return UsageError{fmt::format(fmt::runtime(kUnknownCommand), name)};
    }
    const std::size_t given = split.positional.size() - 1;
    if (given != expected) {
        return UsageError{fmt::format(fmt::runtime(kWrongPathCount), name, expected, given)};
    }
    const auto& p = split.positional;
    if (options.command == Command::kCreate) {
        options.paths = CommandPaths{p[1], std::string(), p[2], p[3], std::string()};
    } else {
        options.paths = CommandPaths{p[1], p[2], p[3], p[4], std::string()};
    }
    if (!split.base.paths.empty()) {
        // The create command searches the old binary, which must be the unmodified one already.
        if (options.command != Command::kRewrite) {
            return UsageError{kBaseForRewriteOnly};
        }
        options.paths.baseBinary = split.base.paths.front();
    }
    return options;
}

} // namespace dovra::cli
