#pragma once

#include <string>
#include <variant>
#include <vector>

// The command line, parsed. Paths stay as the terminal gave them (UTF-8); turning them into the engine's
// code page 932 is a separate step, so that a path that cannot be represented is told apart from a
// malformed command line only by its message.
namespace dovra::cli {

enum class Command { kCreate, kRewrite, kHelp, kVersion };

struct CommandPaths {
    std::string oldFolder;
    std::string newFolder; // rewrite only
    std::string oldBinary;
    std::string newBinary;
    std::string baseBinary; // rewrite only, and only with --base: the unmodified old binary
};

struct CliOptions {
    Command command = Command::kHelp;
    CommandPaths paths;
    bool assumeYes = false;
    std::string reportPath; // UTF-8; empty: no report
};

struct UsageError {
    std::string message; // UTF-8, without the program name
};

// `arguments` without the program name. --help and --version win wherever they stand; "--" ends the
// options, so a path may begin with "-". --base and --report take the next argument (or the text after
// "--base=", "--report=") as their path, whatever it begins with.
std::variant<CliOptions, UsageError> ParseArguments(const std::vector<std::string>& arguments);

} // namespace dovra::cli
