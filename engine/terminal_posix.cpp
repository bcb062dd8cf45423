#include "engine/terminal.h"

#include <unistd.h>

namespace dovra {

bool IsStdinTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool IsStderrTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}

void UseBinaryStandardStreams() {
    // POSIX streams never translate line ends.
}

} // namespace dovra
