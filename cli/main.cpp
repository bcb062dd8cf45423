#include "cli/cli_app.h"
#include "engine/terminal.h"

int main(int argc, char** argv) {
    dovra::UseBinaryStandardStreams();
    dovra::cli::TerminalStreams streams;
    streams.inIsTerminal = dovra::IsStdinTerminal();
    return dovra::cli::RunCli(dovra::CommandLineArguments(argc, argv), streams);
}
