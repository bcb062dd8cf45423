#include <future>
#include <system_error>

#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/path_text.h"
#include "engine/texts.h"
#include "migration/output_folder.h"

namespace {

// The new settings folder is named after the old one with "_NEW" appended. Trailing separators go first,
// so "defs/old/" gives "defs/old_NEW" beside the old folder rather than a folder "_NEW" inside it; a root
// keeps its separator.
std::string OutputFolderFor(std::string_view oldFolder) {
    return dovra::TrimTrailingSeparators(oldFolder) + "_NEW";
}

} // namespace

// The search of every table, on a thread of its own when one can be had; else it runs when its result is
// first asked for.
std::future<CDefinitionUpdater::TableLocations>
CDefinitionUpdater::StartLocating(const std::vector<std::string>& names) const {
    const auto locate = [this, &names] { return LocateTables(names); };
    try {
        return std::async(std::launch::async, locate);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, locate);
    }
}

bool CDefinitionUpdater::CreateDefinitions() {
    namespace text = dovra::text;
    if (!m_oldImage.IsLoaded() || !m_newImage.IsLoaded()) {
        Confirm(text::kBinaryNotLoaded);
        return false;
    }
    const std::string outputFolder = OutputFolderFor(m_oldFolder);
    // The search is all computation and only reads the images and the summaries, so it runs on another
    // thread from here on: while the question is on screen, then while the name lists are copied (all file
    // I/O). Everything that talks to the user (the log, the prompt) stays on this thread, in the same order
    // as without it. On every way out before the tables are written, the future waits for the search.
    const std::vector<std::string> names = dovra::SortedTableNames(m_oldSummaries);
    std::future<TableLocations> located = StartLocating(names);
    if (!Confirm(text::kCreateQuestion)) {
        return true;
    }
    // The run is built in a folder of its own and takes the output folder's name only at the end, so an
    // earlier output folder stays as it was until then and is kept as a backup afterwards. Without a
    // folder nothing can be written, so the command ends here rather than reporting a failure for every
    // file.
    dovra::OutputFolder output(outputFolder);
    const bool replacing = output.FinalExists();
    // "old_NEW" may be a link to the old folder itself; replacing it would make the input look moved.
    if (replacing && dovra::IsSameFile(outputFolder, m_oldFolder)) {
        Log(fmt::format(fmt::runtime(text::kOutputFolderIsOldFolder), outputFolder));
        return false;
    }
    if ((replacing && !output.FinalIsFolder()) || !output.Stage()) {
        Log(fmt::format(fmt::runtime(text::kFolderCreateFailed), outputFolder));
        return false;
    }
    if (!replacing) {
        Log(fmt::format(fmt::runtime(text::kFolderCreated), outputFolder));
    }
    Log(text::kNameListHeading);
    const int nameListFailures = CopyNameLists(m_oldFolder, output);
    Log("");
    Log(text::kDefinitionHeading);
    return RelocateTables(output, names, located.get(), nameListFailures);
}

// Logs each step of putting the finished folder in place; false when it could not be put there.
bool CDefinitionUpdater::CommitOutput(dovra::OutputFolder& output) const {
    namespace text = dovra::text;
    using Step = dovra::OutputFolder::Outcome::Step;
    // What was found in a binary that changed under the tool is not sure; the earlier folder stays.
    if (!m_oldImage.data.Unchanged() || !m_newImage.data.Unchanged()) {
        Log(text::kBinaryChangedMeanwhile);
        return false;
    }
    const auto outcome = output.Commit();
    const std::string& path = output.FinalPath();
    switch (outcome.step) {
    case Step::kCommitted:
        if (outcome.backup) {
            Log(fmt::format(fmt::runtime(text::kFolderMovedAside), path, *outcome.backup));
            Log(fmt::format(fmt::runtime(text::kFolderReplaced), path));
        }
        return true;
    case Step::kFlushFailed:
        Log(fmt::format(fmt::runtime(text::kFolderFlushFailed), path));
        return false;
    case Step::kMoveAsideFailed:
        Log(fmt::format(fmt::runtime(text::kFolderMoveAsideFailed), path, outcome.keptAt));
        return false;
    case Step::kPlaceFailed:
        Log(fmt::format(fmt::runtime(text::kFolderPlaceFailed), path, outcome.keptAt));
        return false;
    }
    return false;
}
