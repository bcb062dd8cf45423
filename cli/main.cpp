#include "cli/cli_app.h"
#include "engine/interrupt_cleanup.h"
#include "engine/terminal.h"

int main(int argc, char** argv) {
    const dovra::ClosedStandardStreams closed = dovra::GuardStandardStreams();
    // Before any thread: an interrupted command removes what it has in progress.
    dovra::InstallInterruptCleanup();
    dovra::UseBinaryStandardStreams();
    dovra::cli::TerminalStreams streams;
    streams.inIsTerminal = dovra::IsStdinTerminal();
    streams.outClosed = closed.out;
    streams.errClosed = closed.err;
    return dovra::cli::RunCli(dovra::CommandLineArguments(argc, argv), streams);
}
