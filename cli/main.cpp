#include "cli/cli_app.h"
#include "engine/interrupt_cleanup.h"
#include "engine/terminal.h"

int main(int argc, char** argv) {
    // First, before any thread: an interrupted command removes what it has in progress.
    dovra::InstallInterruptCleanup();
    dovra::UseBinaryStandardStreams();
    dovra::cli::TerminalStreams streams;
    streams.inIsTerminal = dovra::IsStdinTerminal();
    return dovra::cli::RunCli(dovra::CommandLineArguments(argc, argv), streams);
}
