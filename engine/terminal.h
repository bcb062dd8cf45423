#pragma once

#include <string>
#include <vector>

// What a command-line front end needs to know about the process it runs in. Kept here because engine/ is
// the only code that asks the OS.
namespace dovra {

// Whether standard input / standard error is an interactive terminal (not a pipe or a file). The command
// line front end echoes piped answers and keeps progress off redirected output by these.
bool IsStdinTerminal();
bool IsStderrTerminal();

// The program's arguments (without the program name) as UTF-8. POSIX passes them in the terminal's
// encoding, which is taken to be UTF-8; Windows hands narrow `argv` over in the ANSI code page, which loses
// characters, so there they are read again from the wide command line.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes standard input, output and error pass bytes unchanged. Windows' text mode would turn every "\n"
// written into CR LF (and a log line's own CR LF into CR CR LF), while scripts rely on the exact bytes.
void UseBinaryStandardStreams();

// Which standard streams were closed when the program started.
struct ClosedStandardStreams {
    bool in = false;
    bool out = false;
    bool err = false;
};

// Makes the process safe to write from whatever its standard streams are. A closed standard stream is
// opened on the null device, so the next file the tool opens can never take its place (the log would
// then be written into an output file); a reader that quits (`| head`) gives a write error instead of a
// signal that would kill the process half-way through a command. Call before anything else.
ClosedStandardStreams GuardStandardStreams();

} // namespace dovra
