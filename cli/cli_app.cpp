#include "cli/cli_app.h"

#include <fmt/format.h>

#include "cli/cli_options.h"
#include "cli/cli_texts.h"
#include "cli/command_runner.h"
#include "engine/definition_updater.h"

namespace dovra::cli {
namespace {

ExitStatus ReportUsageError(const UsageError& error, const TerminalStreams& streams) {
    WriteText(streams.err, fmt::format("{}: {}\n{}{}", kProgramName, error.message, kSynopsis, kSeeHelp));
    return kExitUsage;
}

// The command line itself was right: only the path is named, without the usage lines.
ExitStatus ReportRefusedPath(const UsageError& error, const TerminalStreams& streams) {
    WriteText(streams.err, fmt::format("{}: {}\n", kProgramName, error.message));
    return kExitUsage;
}

} // namespace

ExitStatus RunCli(const std::vector<std::string>& arguments, const TerminalStreams& streams) {
    auto parsed = ParseArguments(arguments);
    if (auto* error = std::get_if<UsageError>(&parsed)) {
        return ReportUsageError(*error, streams);
    }
    const auto& options = std::get<CliOptions>(parsed);
    if (options.command == Command::kHelp || options.command == Command::kVersion) {
        const std::string text = options.command == Command::kHelp
                                     ? fmt::format("{}{}", kSynopsis, kHelpDetails)
                                     : fmt::format("{} {}\n", kProgramName, DOVRA_VERSION);
        const bool written = !streams.outClosed && WriteText(streams.out, text) && std::fflush(streams.out) == 0;
        return written ? kExitCompleted : kExitLogLost;
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
    if (!channels.Finish()) {
        // Said on whichever stream still works; the command's own failure, if any, is the status to keep.
        WriteText(streams.err, fmt::format("{}: {}\n", kProgramName, kLogLost));
        return status == kExitCompleted ? kExitLogLost : status;
    }
    return status;
}

} // namespace dovra::cli
