#include "cli_process.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "support/test_support.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace dovra::test {
namespace {

std::string Utf8(const std::filesystem::path& path) {
    auto u8 = path.u8string();
    return std::string(reinterpret_cast<const char*>(u8.data()), u8.size());
}

#ifdef _WIN32
// cmd.exe: double quotes (no test path holds one).
std::string Quote(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}
#else
// sh: single quotes, an embedded one closed, escaped and reopened.
std::string Quote(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}
#endif

int RunShell(const std::string& command) {
#ifdef _WIN32
    // cmd /c drops the outer quotes of a command that begins with one: wrap the whole command once more.
    std::string wrapped = "\"" + command + "\"";
    std::filesystem::path wide(std::u8string(wrapped.begin(), wrapped.end()));
    return _wsystem(wide.c_str());
#else
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

} // namespace

CliRun RunCli(const std::filesystem::path& workFolder, const std::vector<std::string>& arguments,
              std::string_view input, bool mergeStreams) {
    // The captured streams live outside the work folder, so they never show up among the command's files.
    TempDir io;
    auto inPath = io.Path() / "stdin";
    auto outPath = io.Path() / "stdout";
    auto errPath = io.Path() / "stderr";
    WriteBytes(inPath, input);

#ifdef _WIN32
    std::string command = "cd /d " + Quote(Utf8(workFolder)) + " && " + Quote(DOVRA_CLI_PATH);
#else
    std::string command = "cd " + Quote(Utf8(workFolder)) + " && " + Quote(DOVRA_CLI_PATH);
#endif
    for (const auto& argument : arguments) {
        command += " " + Quote(argument);
    }
    command += " < " + Quote(Utf8(inPath)) + " > " + Quote(Utf8(outPath));
    command += mergeStreams ? " 2>&1" : " 2> " + Quote(Utf8(errPath));

    CliRun run;
    run.exitStatus = RunShell(command);
    run.out = ReadBytes(outPath);
    run.err = ReadBytes(errPath);
    return run;
}

} // namespace dovra::test
