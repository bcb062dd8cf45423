#include "cli/cli_app.h"

#include <fmt/format.h>

#include "cli/cli_options.h"
#include "cli/cli_texts.h"
#include "cli/command_runner.h"
#include "cli/run_report.h"
#include "engine/definition_updater.h"
#include "engine/encoding.h"

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
    std::string reportPath;
    if (!options.reportPath.empty()) {
        auto converted = Utf8ToCp932(options.reportPath);
        if (!converted) {
            return ReportRefusedPath(UsageError{fmt::format(fmt::runtime(kUnrepresentablePath), options.reportPath)},
                                     streams);
        }
        reportPath = std::move(*converted);
    }
    // The channels outlive every use the engine makes of them: both end with this call.
    TerminalChannels channels(streams, options.assumeYes);
    CDefinitionUpdater engine;
    channels.Attach(engine);
    RunRecord run{options.command, options.paths, {}, kExitCompleted};
    if (!reportPath.empty()) {
        // Every question and notice with the answer it got, in the order they were asked.
        engine.m_confirm = [&run, ask = engine.m_confirm](const std::string& question) {
            const bool answer = ask(question);
            run.prompts.push_back({question, answer});
            return answer;
        };
    }
    ExitStatus status = RunCommand(options.command, std::get<CommandPaths>(paths), engine);
    const bool logWritten = channels.Finish();
    if (!logWritten && status == kExitCompleted) {
        // The command's own failure, if any, is the status to keep.
        status = kExitLogLost;
    }
    if (!reportPath.empty()) {
        run.status = status;
        if (!WriteReport(reportPath, BuildReport(run, engine))) {
            WriteText(streams.err, fmt::format("{}: {}\n", kProgramName,
                                               fmt::format(fmt::runtime(kReportWriteFailed), options.reportPath)));
            if (status == kExitCompleted) {
                status = kExitWriteFailed;
            }
        }
    }
    if (!logWritten) {
        // Said on whichever stream still works.
        WriteText(streams.err, fmt::format("{}: {}\n", kProgramName, kLogLost));
    }
    return status;
}

} // namespace dovra::cli
