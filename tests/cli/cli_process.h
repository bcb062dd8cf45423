#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Runs the built dovra-updater-cli as a process, as a script would: in a given working folder, with
// standard input from a file and standard output and standard error captured byte for byte.
namespace dovra::test {

struct CliRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// `arguments` are UTF-8. With `input` nullptr standard input is an empty file (end of input at once).
// `mergeStreams` sends standard error into standard output, as a terminal shows both, so their order can
// be checked; `err` is then empty.
CliRun RunCli(const std::filesystem::path& workFolder, const std::vector<std::string>& arguments,
              std::string_view input = {}, bool mergeStreams = false);

} // namespace dovra::test
