#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/path_text.h"
#include "engine/texts.h"

namespace {

// The new settings folder is named after the old one with "_NEW" appended. Trailing separators go first,
// so "defs/old/" gives "defs/old_NEW" beside the old folder rather than a folder "_NEW" inside it; a root
// keeps its separator.
std::string OutputFolderFor(std::string_view oldFolder) {
    return dovra::TrimTrailingSeparators(oldFolder) + "_NEW";
}

} // namespace

bool CDefinitionUpdater::CreateDefinitions() {
    namespace text = dovra::text;
    if (!m_oldImage.IsLoaded() || !m_newImage.IsLoaded()) {
        Confirm(text::kBinaryNotLoaded);
        return false;
    }
    const std::string outputFolder = OutputFolderFor(m_oldFolder);
    if (!Confirm(text::kCreateQuestion)) {
        return true;
    }
    // An existing folder is reused: files of the same names are overwritten, all others are left alone.
    // Without a folder nothing can be written, so the command ends here rather than reporting a failure
    // for every file.
    if (!dovra::CreateFolder(outputFolder)) {
        Log(fmt::format(fmt::runtime(text::kFolderCreateFailed), outputFolder));
        return false;
    }
    // "old_NEW" may be a link to the old folder itself; writing there would overwrite the input.
    if (dovra::IsSameFile(outputFolder, m_oldFolder)) {
        Log(fmt::format(fmt::runtime(text::kOutputFolderIsOldFolder), outputFolder));
        return false;
    }
    Log(fmt::format(fmt::runtime(text::kFolderCreated), outputFolder));
    Log(text::kNameListHeading);
    CopyNameLists(m_oldFolder, outputFolder);
    Log("");
    Log(text::kDefinitionHeading);
    RelocateTables(outputFolder);
    return true;
}
