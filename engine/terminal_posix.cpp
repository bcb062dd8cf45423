#include "engine/terminal.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
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

namespace {

// True when `fd` was closed and is now open on /dev/null.
bool ReopenIfClosed(int fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
        return false;
    }
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0 && null != fd) {
        dup2(null, fd);
        close(null);
    }
    return true;
}

} // namespace

ClosedStandardStreams GuardStandardStreams() {
    // In order: the lowest free descriptor is the one open() hands out.
    ClosedStandardStreams closed;
    closed.in = ReopenIfClosed(STDIN_FILENO);
    closed.out = ReopenIfClosed(STDOUT_FILENO);
    closed.err = ReopenIfClosed(STDERR_FILENO);
    std::signal(SIGPIPE, SIG_IGN);
    return closed;
}

} // namespace dovra
