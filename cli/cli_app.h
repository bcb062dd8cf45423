#pragma once

#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/terminal_channels.h"

namespace dovra::cli {

// The whole command line front end: `arguments` (UTF-8, without the program name) in, an exit status out;
// everything it says goes to `streams`.
ExitStatus RunCli(const std::vector<std::string>& arguments, const TerminalStreams& streams);

} // namespace dovra::cli
