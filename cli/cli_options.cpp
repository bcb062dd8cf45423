#include "cli/cli_options.h"

#include <fmt/format.h>

#include "cli/cli_texts.h"

namespace dovra::cli {
namespace {

struct Split {
    std::vector<std::string> positional;
    std::vector<std::string> options;
};

// Options and positional arguments in their own order; everything after "--" is positional, and so is a
// lone "-" (a file may well be named that).
Split SplitArguments(const std::vector<std::string>& arguments) {
    Split split;
    bool optionsEnded = false;
    for (const auto& argument : arguments) {
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
        options.paths = CommandPaths{p[1], std::string(), p[2], p[3]};
    } else {
        options.paths = CommandPaths{p[1], p[2], p[3], p[4]};
    }
    return options;
}

} // namespace dovra::cli
