#pragma once

#include <variant>

#include "cli/cli_options.h"
#include "cli/exit_status.h"

class CDefinitionUpdater;

namespace dovra::cli {

// The paths in the engine's code page 932, or a usage error naming the first path that has no exact form
// (converting it approximately could name another file). The new folder is converted for rewrite only.
std::variant<CommandPaths, UsageError> ToEnginePaths(Command command, const CommandPaths& utf8Paths);

// Drives the engine, whose channels are already attached, in the dialog's order: the same loads, the same
// message when a binary file does not load, then the command. `paths` are code page 932.
ExitStatus RunCommand(Command command, const CommandPaths& paths, CDefinitionUpdater& engine);

} // namespace dovra::cli
