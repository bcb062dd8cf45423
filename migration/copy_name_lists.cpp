#include <fmt/printf.h>

#include "engine/definition_updater.h"
#include "engine/failure_reason.h"
#include "engine/file_system.h"
#include "engine/path_text.h"
#include "engine/texts.h"
#include "migration/atomic_copy.h"

// Every name list (".idn" in any letter case) of the old folder goes into the new one under the same
// name, also those whose table is later not found: the user may still place that table by hand.
void CDefinitionUpdater::CopyNameLists(const std::string& sourceFolder, const std::string& destinationFolder) {
    namespace text = dovra::text;
    // Sub-folders are not filtered out: one named like a name list fails to copy and is reported as such.
    for (const auto& entry : dovra::FindFilesWithExtension(sourceFolder, "idn")) {
        const std::string destination = dovra::JoinPath(destinationFolder, entry.name);
        if (!dovra::PathExists(destinationFolder)) {
            dovra::CreateFolder(destinationFolder);
        }
        // These lines carry a line feed of their own, unlike every other log line.
        if (dovra::CopyFileAtomically(entry.path, destination)) {
            Log(fmt::sprintf(text::kCopySucceeded, destination) + "\n");
        } else {
            Log(dovra::WithFailureReason(fmt::sprintf(text::kCopyFailed, entry.path)) + "\n");
        }
    }
}
