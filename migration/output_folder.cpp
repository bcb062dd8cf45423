#include "migration/output_folder.h"

#include <system_error>

#include "engine/failure_reason.h"
#include "engine/file_system.h"
#include "engine/interrupt_cleanup.h"
#include "engine/native_path.h"
#include "engine/path_text.h"
#include "engine/temporary_names.h"

namespace dovra {
namespace {

bool ExistsAt(std::string_view path) {
    auto native = ToNativePath(path);
    std::error_code error;
    // A dangling link still takes the name.
    return native && std::filesystem::exists(std::filesystem::symlink_status(*native, error));
}

// The path with its last component replaced by `name`, the separators before it kept as they are.
std::string Beside(std::string_view path, std::string_view name) {
    return std::string(path.substr(0, path.size() - FileNamePart(path).size())) + std::string(name);
}

} // namespace

std::string FreeBackupPath(std::string_view path) {
    std::string candidate = std::string(path) + ".bak";
    for (int number = 2; ExistsAt(candidate); ++number) {
        candidate = std::string(path) + ".bak" + std::to_string(number);
    }
    return candidate;
}

OutputFolder::OutputFolder(std::string finalPath) : m_finalPath(std::move(finalPath)) {}

OutputFolder::~OutputFolder() {
    if (m_staged) {
        std::error_code error;
        std::filesystem::remove_all(m_stagedNative, error);
        UnregisterInProgress(m_stagedNative);
    }
}

bool OutputFolder::FinalExists() const {
    return ExistsAt(m_finalPath);
}

bool OutputFolder::FinalIsFolder() const {
    return IsDirectory(m_finalPath);
}

bool OutputFolder::Stage() {
    auto finalNative = ToNativePath(m_finalPath);
    if (!finalNative) {
        NoteFailure({});
        return false;
    }
    // The run is built under a short name of its own, so a final name the file system cannot take would
    // show only at the very end; asking for its status tells at once.
    std::error_code nameError;
    (void)std::filesystem::symlink_status(*finalNative, nameError);
    if (nameError == std::errc::filename_too_long) {
        NoteFailure(nameError);
        return false;
    }
    RemoveLeftoverTemporaries(finalNative->parent_path());
    for (int attempt = 0; attempt < 16 && !m_staged; ++attempt) {
        const std::string candidate = Beside(m_finalPath, NextTemporaryName());
        auto native = ToNativePath(candidate);
        std::error_code error;
        // create_directory is false for a folder that already exists: never build into someone else's.
        const bool created = native && std::filesystem::create_directory(*native, error);
        if (!created) {
            NoteFailure(error);
        }
        if (created) {
            m_stagedPath = candidate;
            m_stagedNative = *native;
            m_staged = true;
            RegisterInProgress(m_stagedNative);
        }
    }
    return m_staged;
}

std::string OutputFolder::StagedPath(std::string_view name) const {
    return JoinPath(m_stagedPath, name);
}

std::string OutputFolder::FinalPathOf(std::string_view name) const {
    return JoinPath(m_finalPath, name);
}

OutputFolder::Outcome OutputFolder::Commit() {
    using Step = Outcome::Step;
    Outcome outcome;
    // One flush for every file of the run, before any of them can be seen under its final name.
    if (!SyncFileSystemNative(m_stagedNative)) {
        outcome.step = Step::kFlushFailed;
        return outcome;
    }
    auto finalNative = ToNativePath(m_finalPath);
    // An interrupt now waits until both renames are done: it never finds the earlier folder moved aside
    // and the new one not yet in place.
    auto hold = HoldOffInterruptCleanup();
    if (FinalExists()) {
        const std::string backup = FreeBackupPath(m_finalPath);
        auto backupNative = ToNativePath(backup);
        if (!finalNative || !backupNative || !RenameNoReplaceNative(*finalNative, *backupNative)) {
            Keep(Step::kMoveAsideFailed, outcome, hold);
            return outcome;
        }
        outcome.backup = backup;
    }
    if (!finalNative || !RenameNoReplaceNative(m_stagedNative, *finalNative)) {
        // Put the earlier folder back where the user had it.
        if (outcome.backup) {
            RenameNoReplaceNative(*ToNativePath(*outcome.backup), *finalNative);
            outcome.backup.reset();
        }
        Keep(Step::kPlaceFailed, outcome, hold);
        return outcome;
    }
    m_staged = false;
    UnregisterInProgress(m_stagedNative, hold);
    return outcome;
}

void OutputFolder::Keep(Outcome::Step step, Outcome& outcome, std::unique_lock<std::mutex>& hold) {
    // Both folders stay, each whole: the user is told where the new one is.
    m_staged = false;
    UnregisterInProgress(m_stagedNative, hold);
    outcome.step = step;
    outcome.keptAt = m_stagedPath;
}

} // namespace dovra
