#include "cli/command_runner.h"

#include <fmt/format.h>

#include "cli/cli_texts.h"
#include "engine/definition_updater.h"
#include "engine/encoding.h"
#include "engine/message_box.h"
#include "engine/texts.h"

namespace dovra::cli {
namespace {

bool Convert(const std::string& utf8, std::string& cp932, std::string& refused) {
    auto converted = Utf8ToCp932(utf8);
    if (!converted) {
        refused = utf8;
        return false;
    }
    cp932 = std::move(*converted);
    return true;
}

// Stops at the first failed load with the load's own message followed by the one naming the file, as the
// dialog does; the command does not run then.
bool LoadBinaries(const CommandPaths& paths, CDefinitionUpdater& engine) {
    if (!engine.LoadOldBinary(paths.oldBinary)) {
        ShowMessageBox(text::kOldBinaryLoadFailed);
        return false;
    }
    if (!engine.LoadNewBinary(paths.newBinary)) {
        ShowMessageBox(text::kNewBinaryLoadFailed);
        return false;
    }
    if (paths.baseBinary.empty()) {
        engine.ClearBaseBinary();
    } else if (!engine.LoadBaseBinary(paths.baseBinary)) {
        ShowMessageBox(text::kBaseBinaryLoadFailed);
        return false;
    }
    return true;
}

} // namespace

std::variant<CommandPaths, UsageError> ToEnginePaths(Command command, const CommandPaths& utf8Paths) {
    CommandPaths converted;
    std::string refused;
    if (!Convert(utf8Paths.oldFolder, converted.oldFolder, refused) ||
        (command == Command::kRewrite && !Convert(utf8Paths.newFolder, converted.newFolder, refused)) ||
        !Convert(utf8Paths.oldBinary, converted.oldBinary, refused) ||
        !Convert(utf8Paths.newBinary, converted.newBinary, refused) ||
        (!utf8Paths.baseBinary.empty() && !Convert(utf8Paths.baseBinary, converted.baseBinary, refused))) {
        return UsageError{fmt::format(fmt::runtime(kUnrepresentablePath), refused)};
    }
    return converted;
}

ExitStatus RunCommand(Command command, const CommandPaths& paths, CDefinitionUpdater& engine) {
    // A settings folder that is not there has been named in a message box; nothing runs on it.
    if (!engine.LoadOldSettings(paths.oldFolder) ||
        (command == Command::kRewrite && !engine.LoadNewSettings(paths.newFolder))) {
        return kExitLoadFailed;
    }
    if (!LoadBinaries(paths, engine)) {
        return kExitLoadFailed;
    }
    // Both commands report their outcome in the log; false means their output could not be written.
    const bool finished = command == Command::kRewrite ? engine.Rewrite() : engine.CreateDefinitions();
    return finished ? kExitCompleted : kExitWriteFailed;
}

} // namespace dovra::cli
