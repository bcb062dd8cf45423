#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "cli/terminal_channels.h"
#include "engine/definition_updater.h"
#include "engine/message_box.h"
#include "support/test_support.h"

namespace dovra::cli {
namespace {

using dovra::test::Sj;

// Three temporary files standing in for the terminal.
class FakeTerminal {
public:
    explicit FakeTerminal(std::string_view input = "", bool inIsTerminal = false) {
        m_streams.in = std::tmpfile();
        m_streams.out = std::tmpfile();
        m_streams.err = std::tmpfile();
        m_streams.inIsTerminal = inIsTerminal;
        std::fwrite(input.data(), 1, input.size(), m_streams.in);
        std::rewind(m_streams.in);
    }
    ~FakeTerminal() {
        std::fclose(m_streams.in);
        std::fclose(m_streams.out);
        std::fclose(m_streams.err);
    }
    FakeTerminal(const FakeTerminal&) = delete;
    FakeTerminal& operator=(const FakeTerminal&) = delete;

    const TerminalStreams& Streams() const { return m_streams; }
    std::string Out() const { return Contents(m_streams.out); }
    std::string Err() const { return Contents(m_streams.err); }
    // What is left unread of standard input.
    std::string Unread() const {
        std::string rest;
        for (int c = std::getc(m_streams.in); c != EOF; c = std::getc(m_streams.in)) {
            rest += static_cast<char>(c);
        }
        return rest;
    }

private:
    static std::string Contents(std::FILE* file) {
        std::fflush(file);
        std::rewind(file);
        std::string bytes;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            bytes.append(buffer, n);
        }
        return bytes;
    }
    TerminalStreams m_streams;
};

TEST(TerminalChannels, LogLinesBecomeUtf8KeepingTheirOwnLineEnds) {
    FakeTerminal terminal;
    TerminalChannels channels(terminal.Streams(), false);
    channels.WriteLogLine(Sj(u8"　新旧データ一致 "));
    channels.WriteLogLine(Sj(u8"　エラー: アドレスがファイルサイズを超えます。\r\n"));
    channels.WriteLogLine(Sj(u8"コピー成功: 表_NEW/表.idn\n"));
    channels.WriteLogLine("");
    channels.WriteLogLine(std::string("bad \x81", 5)); // a lead byte without its trail byte
    EXPECT_EQ(terminal.Out(), "　新旧データ一致 \n"
                              "　エラー: アドレスがファイルサイズを超えます。\r\n\n"
                              "コピー成功: 表_NEW/表.idn\n\n"
                              "\n"
                              "bad \xEF\xBF\xBD\n");
    EXPECT_EQ(terminal.Err(), "");
}

TEST(TerminalChannels, MessagesGoToStandardError) {
    FakeTerminal terminal;
    TerminalChannels channels(terminal.Streams(), false);
    channels.ShowMessage(Sj(u8"ファイルを開けませんでした。"));
    EXPECT_EQ(terminal.Err(), "ファイルを開けませんでした。\n");
    EXPECT_EQ(terminal.Out(), "");
}

TEST(TerminalChannels, PipedAnswersAreReadLineByLineAndEchoed) {
    FakeTerminal terminal("y\nYES\r\nYeS\nno\n yes\nyess\n\nY");
    TerminalChannels channels(terminal.Streams(), false);
    std::string expected;
    for (bool answer : {true, true, true, false, false, false, false, true}) {
        EXPECT_EQ(channels.Ask(Sj(u8"上書きしますか？")), answer);
        expected += std::string("上書きしますか？ [y/N] ") + (answer ? "y" : "n") + "\n";
    }
    // End of input answers no, again and again.
    EXPECT_FALSE(channels.Ask(Sj(u8"完了しました")));
    EXPECT_FALSE(channels.Ask(Sj(u8"完了しました")));
    expected += "完了しました [y/N] n\n完了しました [y/N] n\n";
    EXPECT_EQ(terminal.Err(), expected);
    EXPECT_EQ(terminal.Out(), "");
}

TEST(TerminalChannels, TypedAnswersAreNotEchoed) {
    FakeTerminal terminal("y\nn\n", /*inIsTerminal=*/true);
    TerminalChannels channels(terminal.Streams(), false);
    EXPECT_TRUE(channels.Ask("A"));
    EXPECT_FALSE(channels.Ask("B"));
    EXPECT_FALSE(channels.Ask("C")); // end of input: only a line end, so the next text starts afresh
    EXPECT_EQ(terminal.Err(), "A [y/N] B [y/N] C [y/N] \n");
}

TEST(TerminalChannels, YesAnswersWithoutReading) {
    FakeTerminal terminal("n\nn\n");
    TerminalChannels channels(terminal.Streams(), true);
    EXPECT_TRUE(channels.Ask("A"));
    EXPECT_TRUE(channels.Ask("B"));
    EXPECT_EQ(terminal.Err(), "A [y/N] y\nB [y/N] y\n");
    EXPECT_EQ(terminal.Unread(), "n\nn\n");
}

// A stream that takes no byte: a file opened for reading only.
struct UnwritableStream {
    UnwritableStream() : file(std::fopen(DOVRA_SOURCE_DIR "/CMakeLists.txt", "rb")) {}
    ~UnwritableStream() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    UnwritableStream(const UnwritableStream&) = delete;
    UnwritableStream& operator=(const UnwritableStream&) = delete;
    std::FILE* file;
};

TEST(TerminalChannels, ALogThatCannotBeWrittenIsReportedNeverThrown) {
    FakeTerminal terminal("y\n");
    UnwritableStream unwritable;
    ASSERT_NE(unwritable.file, nullptr);
    TerminalStreams streams = terminal.Streams();
    streams.out = unwritable.file;
    TerminalChannels channels(streams, false);
    channels.WriteLogLine(std::string(100000, 'x'));
    channels.ShowMessage("box");
    // Questions still reach standard error and read their answers.
    EXPECT_TRUE(channels.Ask("A"));
    EXPECT_FALSE(channels.Finish());
    EXPECT_EQ(terminal.Err(), "box\nA [y/N] y\n");
}

TEST(TerminalChannels, AQuestionThatCannotBeShownIsNoWithoutReading) {
    FakeTerminal terminal("y\ny\n");
    UnwritableStream unwritable;
    ASSERT_NE(unwritable.file, nullptr);
    TerminalStreams streams = terminal.Streams();
    streams.err = unwritable.file;
    {
        TerminalChannels channels(streams, false);
        EXPECT_FALSE(channels.Ask("A"));
        channels.WriteLogLine("log");
        EXPECT_FALSE(channels.Finish());
    }
    EXPECT_EQ(terminal.Unread(), "y\ny\n");
    EXPECT_EQ(terminal.Out(), "log\n");
    // --yes needs no screen: the answer stands, the lost question still counts.
    TerminalChannels assumeYes(streams, true);
    EXPECT_TRUE(assumeYes.Ask("B"));
    EXPECT_FALSE(assumeYes.Finish());
    // A stream found closed at start counts as lost from the first line on.
    FakeTerminal other;
    TerminalStreams closed = other.Streams();
    closed.outClosed = true;
    TerminalChannels fromStart(closed, false);
    fromStart.WriteLogLine("log");
    EXPECT_FALSE(fromStart.Finish());
    EXPECT_EQ(other.Out(), "");
}

TEST(TerminalChannels, AnswerLinesAreReadUpToABound) {
    // A line past 4 KiB says no, and reading stops at the bound, wherever the line would end.
    FakeTerminal terminal("y" + std::string(5000, 'e') + "s\ny\n");
    TerminalChannels channels(terminal.Streams(), false);
    EXPECT_FALSE(channels.Ask("A"));
    EXPECT_EQ(terminal.Unread(), std::string(5000 - 4095, 'e') + "s\ny\n");
    FakeTerminal exact(std::string(4095, ' ').insert(0, "y") + "\ny\n");
    TerminalChannels bounded(exact.Streams(), false);
    EXPECT_FALSE(bounded.Ask("A")); // 4096 bytes that are not "y"
    EXPECT_TRUE(bounded.Ask("B"));
}

TEST(TerminalChannels, AttachRoutesAllThreeEngineChannels) {
    FakeTerminal terminal("y\n");
    {
        TerminalChannels channels(terminal.Streams(), false);
        CDefinitionUpdater engine;
        channels.Attach(engine);
        engine.Log(Sj(u8"表"));
        EXPECT_TRUE(engine.Confirm(Sj(u8"問")));
        ShowMessageBox(Sj(u8"箱"));
    }
    EXPECT_EQ(terminal.Out(), "表\n");
    EXPECT_EQ(terminal.Err(), "問 [y/N] y\n箱\n");
    // Gone with the channels: the message box no longer reaches the closed terminal.
    testing::internal::CaptureStderr();
    ShowMessageBox("after");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "after\n");
}

} // namespace
} // namespace dovra::cli
