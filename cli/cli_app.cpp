#include "cli/cli_app.h"

#include <fmt/format.h>

#include "cli/cli_options.h"
#include "cli/cli_texts.h"
#include "cli/command_runner.h"
#include "engine/definition_updater.h"

namespace dovra::cli {
namespace {

ExitStatus ReportUsageError(const UsageError& error, const TerminalStreams& streams) {
    fmt::print(streams.err, "{}: {}\n{}{}", kProgramName, error.message, kSynopsis, kSeeHelp);
    return kExitUsage;
}

// The command line itself was right: only the path is named, without the usage lines.
ExitStatus ReportRefusedPath(const UsageError& error, const TerminalStreams& streams) {
    fmt::print(streams.err, "{}: {}\n", kProgramName, error.message);
    return kExitUsage;
}

} // namespace

ExitStatus RunCli(const std::vector<std::string>& arguments, const TerminalStreams& streams) {
    auto parsed = ParseArguments(arguments);
    if (auto* error = std::get_if<UsageError>(&parsed)) {
        return ReportUsageError(*error, streams);
    }
    const auto& options = std::get<CliOptions>(parsed);
    if (options.command == Command::kHelp) {
        fmt::print(streams.out, "{}{}", kSynopsis, kHelpDetails);
        return kExitCompleted;
    }
    if (options.command == Command::kVersion) {
        fmt::print(streams.out, "{} {}\n", kProgramName, DOVRA_VERSION);
        return kExitCompleted;
    }
    auto paths = ToEnginePaths(options.command, options.paths);
    if (auto* error = std::get_if<UsageError>(&paths)) {
        return ReportRefusedPath(*error, streams);
    }
    // The channels outlive every use the engine makes of them: both end with this call.
    TerminalChannels channels(streams, options.assumeYes);
    CDefinitionUpdater engine;
    channels.Attach(engine);
    ExitStatus status = RunCommand(options.command, std::get<CommandPaths>(paths), engine);
    std::fflush(streams.out);
    return status;
}

} // namespace dovra::cli
