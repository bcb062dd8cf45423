#include "cli/cli_app.h"
#include "engine/terminal.h"

int main(int argc, char** argv) {
    const dovra::ClosedStandardStreams closed = dovra::GuardStandardStreams();
    dovra::UseBinaryStandardStreams();
    dovra::cli::TerminalStreams streams;
    streams.inIsTerminal = dovra::IsStdinTerminal();
    streams.outClosed = closed.out;
    streams.errClosed = closed.err;
    return dovra::cli::RunCli(dovra::CommandLineArguments(argc, argv), streams);
}
