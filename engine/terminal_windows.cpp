#include "engine/terminal.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <shellapi.h>

namespace dovra {
namespace {

std::string WideToUtf8(const wchar_t* wide) {
    int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return std::string();
    }
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), length, nullptr, nullptr);
    utf8.pop_back(); // the terminator written by the conversion
    return utf8;
}

} // namespace

namespace {

// A console, not any character device: _isatty also says yes for NUL, and it trusts the descriptor flags a
// parent C runtime handed down, which can still say "device" after a shell redirected the handle to a file.
bool IsConsole(DWORD standardHandle) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(standardHandle), &mode) != 0;
}

} // namespace

bool IsStdinTerminal() {
    return IsConsole(STD_INPUT_HANDLE);
}

bool IsStderrTerminal() {
    return IsConsole(STD_ERROR_HANDLE);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        for (int i = 1; i < argc; ++i) {
            arguments.emplace_back(argv[i]);
        }
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(WideToUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

ClosedStandardStreams GuardStandardStreams() {
    // Windows has no SIGPIPE, and a closed standard handle is never handed out again by opening a file: a
    // write to it fails, which the front end reports.
    return ClosedStandardStreams{};
}

} // namespace dovra
