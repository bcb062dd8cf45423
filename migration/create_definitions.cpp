#include <algorithm>
#include <future>
#include <system_error>

#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "engine/failure_reason.h"
#include "engine/file_system.h"
#include "engine/path_text.h"
#include "engine/texts.h"
#include "migration/output_folder.h"

namespace {

// The new settings folder is named after the old one with "_NEW" appended. Trailing separators go first,
// so "defs/old/" gives "defs/old_NEW" beside the old folder rather than a folder "_NEW" inside it; a root
// keeps its separator. A folder named "." or ".." ("defs/.", "x/..") has no name of its own: appending to
// it would put "._NEW" inside the old folder, so its real path is used.
std::string OutputFolderFor(std::string_view oldFolder) {
    std::string trimmed = dovra::TrimTrailingSeparators(oldFolder);
    const std::string_view name = dovra::FileNamePart(trimmed);
    if (name == "." || name == "..") {
        if (auto resolved = dovra::ResolvedFolderPath(trimmed)) {
            trimmed = dovra::TrimTrailingSeparators(*resolved);
        }
    }
    return trimmed + "_NEW";
}

} // namespace

// The two questions about tables whose place is in doubt, each asked once for all such tables and only when
// there is one; nothing has been written yet, so either answer can still be honoured.
dovra::PlacementAnswers CDefinitionUpdater::AskPlacementQuestions(const TableLocations& found) const {
    namespace text = dovra::text;
    const auto aligned = std::count_if(found.begin(), found.end(), dovra::NeedsAlignedMatchAnswer);
    const auto similar = std::count_if(found.begin(), found.end(), dovra::NeedsSimilarAnswer);
    dovra::PlacementAnswers answers;
    if (aligned > 0) {
        answers.useAlignedMatches = Confirm(fmt::format(fmt::runtime(text::kAlignedMatchQuestion), aligned));
    }
    if (similar > 0) {
        answers.useSimilar = Confirm(fmt::format(fmt::runtime(text::kSimilarDataQuestion), similar));
    }
    return answers;
}

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
    // thread while the opening question is on screen. Its answer is needed before anything is written: the
    // questions about doubtful places come first, so that declining them leaves no trace. Everything that
    // talks to the user (the log, the prompt) stays on this thread. On every way out the future waits for
    // the search.
    const std::vector<std::string> names = dovra::SortedTableNames(m_oldSummaries);
    m_lastCreate.clear();
    std::future<TableLocations> located = StartLocating(names);
    if (!Confirm(text::kCreateQuestion)) {
        return true;
    }
    const TableLocations found = located.get();
    const dovra::PlacementAnswers answers = AskPlacementQuestions(found);
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
    if (replacing && !output.FinalIsFolder()) {
        dovra::NoteFailure(std::make_error_code(std::errc::file_exists));
        Log(dovra::WithFailureReason(fmt::format(fmt::runtime(text::kFolderCreateFailed), outputFolder)));
        return false;
    }
    if (!output.Stage()) {
        Log(dovra::WithFailureReason(fmt::format(fmt::runtime(text::kFolderCreateFailed), outputFolder)));
        return false;
    }
    if (!replacing) {
        Log(fmt::format(fmt::runtime(text::kFolderCreated), outputFolder));
    }
    Log(text::kNameListHeading);
    const int nameListFailures = CopyNameLists(m_oldFolder, output);
    Log("");
    Log(text::kDefinitionHeading);
    return RelocateTables(output, names, found, answers, nameListFailures);
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
        Log(dovra::WithFailureReason(fmt::format(fmt::runtime(text::kFolderFlushFailed), path)));
        return false;
    case Step::kMoveAsideFailed:
        Log(dovra::WithFailureReason(fmt::format(fmt::runtime(text::kFolderMoveAsideFailed), path, outcome.keptAt)));
        return false;
    case Step::kPlaceFailed:
        Log(dovra::WithFailureReason(fmt::format(fmt::runtime(text::kFolderPlaceFailed), path, outcome.keptAt)));
        return false;
    }
    return false;
}
