#include "cli/terminal_channels.h"

#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "engine/encoding.h"
#include "engine/message_box.h"

namespace dovra::cli {
namespace {

bool IsYes(std::string answer) {
    for (auto& c : answer) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return answer == "y" || answer == "yes";
}

} // namespace

TerminalChannels::TerminalChannels(TerminalStreams streams, bool assumeYes)
    : m_streams(streams), m_assumeYes(assumeYes) {}

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

void TerminalChannels::WriteLogLine(const std::string& line) {
    // Standard output is block-buffered when redirected: a large log is written in few calls, and the
    // buffer is flushed only before standard error speaks, which keeps the two in order on one screen.
    fmt::print(m_streams.out, "{}\n", Cp932ToUtf8Lossy(line));
}

void TerminalChannels::ShowMessage(const std::string& text) {
    std::fflush(m_streams.out);
    fmt::print(m_streams.err, "{}\n", Cp932ToUtf8Lossy(text));
    std::fflush(m_streams.err);
}

bool TerminalChannels::Ask(const std::string& question) {
    std::fflush(m_streams.out);
    fmt::print(m_streams.err, "{} [y/N] ", Cp932ToUtf8Lossy(question));
    if (m_assumeYes) {
        // Nothing is typed, so the transcript shows the answer given on the user's behalf.
        fmt::print(m_streams.err, "y\n");
        std::fflush(m_streams.err);
        return true;
    }
    std::fflush(m_streams.err);
    std::string line;
    const bool gotLine = ReadAnswerLine(line);
    const bool yes = gotLine && IsYes(line);
    if (!m_streams.inIsTerminal) {
        fmt::print(m_streams.err, "{}\n", yes ? "y" : "n");
    } else if (!gotLine) {
        // End of input typed at the prompt: start the next output on a line of its own.
        fmt::print(m_streams.err, "\n");
    }
    std::fflush(m_streams.err);
    return yes;
}

bool TerminalChannels::ReadAnswerLine(std::string& line) {
    int c = std::getc(m_streams.in);
    if (c == EOF) {
        return false;
    }
    while (c != EOF && c != '\n') {
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
