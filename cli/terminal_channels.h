#pragma once

#include <cstdio>
#include <string>

class CDefinitionUpdater;

// The engine's three channels on a terminal: log lines to standard output, message boxes and questions to
// standard error, answers from standard input. The engine's text is code page 932; the terminal gets UTF-8.
namespace dovra::cli {

struct TerminalStreams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // A typed answer is already on the screen; a piped one is echoed so that a transcript reads well.
    bool inIsTerminal = false;
};

class TerminalChannels {
public:
    TerminalChannels(TerminalStreams streams, bool assumeYes);
    // Removes the message box channel it installed.
    ~TerminalChannels();
    TerminalChannels(const TerminalChannels&) = delete;
    TerminalChannels& operator=(const TerminalChannels&) = delete;

    // Sets the engine's log and question channels and the message box channel to this terminal. The
    // engine must not use them after this object is gone.
    void Attach(CDefinitionUpdater& engine);

    // The line's own bytes (a CR LF or LF it carries included), then one "\n".
    void WriteLogLine(const std::string& line);
    // The text, then "\n".
    void ShowMessage(const std::string& text);
    // The question, then " [y/N] "; true for a line reading "y" or "yes" in any letter case.
    bool Ask(const std::string& question);

private:
    // One line of standard input without its line end; false at end of input.
    bool ReadAnswerLine(std::string& line);

    TerminalStreams m_streams;
    bool m_assumeYes;
    bool m_installedMessageBox = false;
};

} // namespace dovra::cli
