#include <fmt/printf.h>

#include "engine/definition_updater.h"
#include "engine/failure_reason.h"
#include "engine/file_system.h"
#include "engine/path_text.h"
#include "engine/texts.h"
#include "migration/atomic_copy.h"
#include "migration/output_folder.h"

// Every name list (".idn" in any letter case) of the old folder goes into the new one under the same
// name, also those whose table is later not found: the user may still place that table by hand.
// The files go into the folder being built and are named to the user where they will be once it is in
// place.
int CDefinitionUpdater::CopyNameLists(const std::string& sourceFolder, const dovra::OutputFolder& destination) {
    namespace text = dovra::text;
    int failures = 0;
    // Sub-folders are not filtered out: one named like a name list fails to copy and is reported as such.
    for (const auto& entry : dovra::FindFilesWithExtension(sourceFolder, "idn")) {
        // These lines carry a line feed of their own, unlike every other log line.
        if (dovra::CopyFileStaged(entry.path, destination.StagedPath(entry.name))) {
            Log(fmt::sprintf(text::kCopySucceeded, destination.FinalPathOf(entry.name)) + "\n");
        } else {
            Log(dovra::WithFailureReason(fmt::sprintf(text::kCopyFailed, entry.path)) + "\n");
            ++failures;
        }
    }
    return failures;
}
