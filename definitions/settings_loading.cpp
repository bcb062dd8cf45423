#include <fmt/format.h>
#include <fmt/printf.h>

#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/folder_index.h"
#include "engine/message_box.h"
#include "engine/path_text.h"
#include "engine/texts.h"

using dovra::DefinitionTable;
using dovra::TableLoadStatus;

namespace {

// Definition files of a settings folder: every "*.ini" entry that is not a folder.
std::vector<std::string> DefinitionFiles(std::string_view folder) {
    std::vector<std::string> paths;
    for (auto& entry : dovra::FindFilesWithExtension(folder, "ini")) {
        if (!entry.isDirectory) {
            paths.push_back(std::move(entry.path));
        }
    }
    return paths;
}

// The folder is listed with a separator appended (the empty text lists the root), so it is tested the same
// way: "a file/" is no folder.
bool FolderFound(std::string_view folder) {
    if (dovra::IsDirectory(std::string(folder) + dovra::kPathSeparator)) {
        return true;
    }
    dovra::ShowMessageBox(fmt::format(fmt::runtime(dovra::text::kFolderNotFound), folder));
    return false;
}

void ReportUnparsable(const std::string& path) {
    dovra::ShowMessageBox(fmt::sprintf(dovra::text::kParseFailed, path));
}

} // namespace

bool CDefinitionUpdater::LoadOldSettings(std::string_view folder) {
    m_oldSummaries.clear();
    m_oldDefinitionTexts.clear();
    m_oldFolder = std::string(folder);
    if (!FolderFound(folder)) {
        return false;
    }
    const dovra::FolderIndex index(folder);
    for (const auto& path : DefinitionFiles(folder)) {
        DefinitionTable table;
        dovra::LoadedDefinition loaded;
        TableLoadStatus status = table.Load(path, &index, &loaded);
        if (status == TableLoadStatus::Malformed) {
            ReportUnparsable(path);
            continue;
        }
        // The old set keeps a summary for every definition file it found: one that cannot be opened leaves
        // the empty summary under the empty name, one without a name list its summary with size 0. A table
        // whose numbers cannot be trusted is left out, as the new set leaves it out.
        m_oldSummaries[table.name] = dovra::SummaryOf(table);
        m_oldDefinitionTexts[table.name] = std::move(loaded);
    }
    return true;
}

bool CDefinitionUpdater::LoadNewSettings(std::string_view folder) {
    m_newSummaries.clear();
    m_newTables.clear();
    m_newRecordNames.clear();
    m_newFolder = std::string(folder);
    if (!FolderFound(folder)) {
        return false;
    }
    const dovra::FolderIndex index(folder);
    for (const auto& path : DefinitionFiles(folder)) {
        DefinitionTable table;
        if (table.Load(path, &index) != TableLoadStatus::Loaded) {
            ReportUnparsable(path);
            continue;
        }
        m_newSummaries[table.name] = dovra::SummaryOf(table);
        m_newRecordNames[table.name] = table.recordNames;
        m_newTables[table.name] = std::move(table);
    }
    return true;
}
