#pragma once

#include <cstdio>
#include <string>
#include <string_view>

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
    // Standard output / error was closed when the program started (it now writes to the null device).
    bool outClosed = false;
    bool errClosed = false;
};

// Writes all of `text`; false when the stream took less (a full disk, a closed stream, a reader that quit).
// Never throws: a log that cannot be written must not abort a command half-way.
bool WriteText(std::FILE* stream, std::string_view text);

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
    // The question, then " [y/N] "; true for a line reading "y" or "yes" in any letter case. A question
    // that could not be shown is answered no (yes with --yes, which needs no screen).
    bool Ask(const std::string& question);

    // Flushes standard output; true when every log line, message and question reached its stream. After
    // the first failure on a stream nothing more is written to it; the command itself goes on, since every
    // file it writes appears whole or not at all.
    bool Finish();

private:
    void Write(std::FILE* stream, bool& lost, std::string_view text);
    void FlushOut();
    // One line of standard input without its line end; false at end of input. A line of more than 4 KiB
    // comes back empty after its first 4 KiB (it can only say no).
    bool ReadAnswerLine(std::string& line);

    TerminalStreams m_streams;
    bool m_assumeYes;
    bool m_installedMessageBox = false;
    bool m_outLost = false;
    bool m_errLost = false;
};

} // namespace dovra::cli
