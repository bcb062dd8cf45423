#include <fmt/printf.h>

#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/message_box.h"
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

void ReportUnparsable(const std::string& path) {
    dovra::ShowMessageBox(fmt::sprintf(dovra::text::kParseFailed, path));
}

} // namespace

bool CDefinitionUpdater::LoadOldSettings(std::string_view folder) {
    m_oldSummaries.clear();
    for (const auto& path : DefinitionFiles(folder)) {
        DefinitionTable table;
        TableLoadStatus status = table.Load(path);
        if (status == TableLoadStatus::Malformed) {
            ReportUnparsable(path);
            continue;
        }
        // The old set keeps a summary for every definition file it found: one that cannot be opened leaves
        // the empty summary under the empty name, one without a name list its summary with size 0. A table
        // whose numbers cannot be trusted is left out, as the new set leaves it out.
        m_oldSummaries[table.name] = dovra::SummaryOf(table);
    }
    m_oldFolder = std::string(folder);
    return true;
}

bool CDefinitionUpdater::LoadNewSettings(std::string_view folder) {
    m_newSummaries.clear();
    m_newTables.clear();
    m_newRecordNames.clear();
    for (const auto& path : DefinitionFiles(folder)) {
        DefinitionTable table;
        if (table.Load(path) != TableLoadStatus::Loaded) {
            ReportUnparsable(path);
            continue;
        }
        m_newSummaries[table.name] = dovra::SummaryOf(table);
        m_newRecordNames[table.name] = table.recordNames;
        m_newTables[table.name] = std::move(table);
    }
    m_newFolder = std::string(folder);
    return true;
}
