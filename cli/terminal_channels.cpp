#include "cli/terminal_channels.h"

#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "engine/encoding.h"
#include "engine/message_box.h"

namespace dovra::cli {
namespace {

// Longest answer line read; a longer one is no.
constexpr std::size_t kAnswerLimit = 4096;

bool IsYes(std::string answer) {
    for (auto& c : answer) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return answer == "y" || answer == "yes";
}

} // namespace

bool WriteText(std::FILE* stream, std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() && !std::ferror(stream);
}

TerminalChannels::TerminalChannels(TerminalStreams streams, bool assumeYes)
    : m_streams(streams), m_assumeYes(assumeYes), m_outLost(streams.outClosed), m_errLost(streams.errClosed) {}

TerminalChannels::~TerminalChannels() {
    if (m_installedMessageBox) {
        SetMessageBoxChannel(nullptr);
    }
}

void TerminalChannels::Attach(CDefinitionUpdater& engine) {
    engine.m_log = [this](const std::string& line) { WriteLogLine(line); };
    engine.m_confirm = [this](const std::string& question) { return Ask(question); };
    SetMessageBoxChannel([this](const std::string& text) { ShowMessage(text); });
    m_installedMessageBox = true;
}

void TerminalChannels::Write(std::FILE* stream, bool& lost, std::string_view text) {
    if (!lost && !WriteText(stream, text)) {
        lost = true;
    }
}

void TerminalChannels::FlushOut() {
    if (!m_outLost && std::fflush(m_streams.out) != 0) {
        m_outLost = true;
    }
}

void TerminalChannels::WriteLogLine(const std::string& line) {
    // Standard output is block-buffered when redirected: a large log is written in few calls, and the
    // buffer is flushed only before standard error speaks, which keeps the two in order on one screen.
    Write(m_streams.out, m_outLost, Cp932ToUtf8Lossy(line) + "\n");
}

void TerminalChannels::ShowMessage(const std::string& text) {
    FlushOut();
    Write(m_streams.err, m_errLost, Cp932ToUtf8Lossy(text) + "\n");
    std::fflush(m_streams.err);
}

bool TerminalChannels::Ask(const std::string& question) {
    FlushOut();
    Write(m_streams.err, m_errLost, Cp932ToUtf8Lossy(question) + " [y/N] ");
    if (m_assumeYes) {
        // Nothing is typed, so the transcript shows the answer given on the user's behalf.
        Write(m_streams.err, m_errLost, "y\n");
        std::fflush(m_streams.err);
        return true;
    }
    if (m_errLost || std::fflush(m_streams.err) != 0) {
        // Nobody saw the question: an answer waiting on standard input was meant for another one.
        m_errLost = true;
        return false;
    }
    std::string line;
    const bool gotLine = ReadAnswerLine(line);
    const bool yes = gotLine && IsYes(line);
    if (!m_streams.inIsTerminal) {
        Write(m_streams.err, m_errLost, yes ? "y\n" : "n\n");
    } else if (!gotLine) {
        // End of input typed at the prompt: start the next output on a line of its own.
        Write(m_streams.err, m_errLost, "\n");
    }
    std::fflush(m_streams.err);
    return yes;
}

bool TerminalChannels::Finish() {
    FlushOut();
    if (std::fflush(m_streams.err) != 0) {
        m_errLost = true;
    }
    return !m_outLost && !m_errLost;
}

bool TerminalChannels::ReadAnswerLine(std::string& line) {
    int c = std::getc(m_streams.in);
    if (c == EOF) {
        return false;
    }
    while (c != EOF && c != '\n') {
        if (line.size() == kAnswerLimit) {
            // No answer is this long (standard input from /dev/zero, a binary file): reading on would only
            // grow without end. Such a line says no; reading stops here, so the next question starts
            // where this one stopped.
            std::ungetc(c, m_streams.in);
            line.clear();
            return true;
        }
        line += static_cast<char>(c);
        c = std::getc(m_streams.in);
    }
    // An answer file written on Windows ends its lines with CR LF.
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

} // namespace dovra::cli
