#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace dovra {

// The create command's output folder, built so that it always holds exactly one run: the files go into a
// new folder beside it under a temporary name (see temporary_names.h); only when all are written is that
// folder flushed to disk, an earlier folder of the final name moved aside to a backup, and the new one
// renamed into place. Until then the earlier folder is untouched, and an interrupt or a failure removes
// the new one. Paths are code page 932.
class OutputFolder {
public:
    explicit OutputFolder(std::string finalPath);
    ~OutputFolder(); // removes the new folder unless it was committed or kept
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    const std::string& FinalPath() const { return m_finalPath; }
    // Something (a folder, a file, a link) already stands at the final path.
    bool FinalExists() const;
    bool FinalIsFolder() const;

    // Removes what killed runs left beside the final path, then makes the new, empty folder.
    bool Stage();
    // Where a file `name` of the output is written while the folder is being built.
    std::string StagedPath(std::string_view name) const;
    // Where that file will be once committed: the path to name to the user.
    std::string FinalPathOf(std::string_view name) const;

    struct Outcome {
        enum class Step { kCommitted, kFlushFailed, kMoveAsideFailed, kPlaceFailed } step = Step::kCommitted;
        std::optional<std::string> backup; // where the earlier folder went
        std::string keptAt;                // the new folder's path when it could not take its place
    };
    // Flushes, moves an earlier folder aside, renames the new one into place.
    Outcome Commit();

private:
    void Keep(Outcome::Step step, Outcome& outcome, std::unique_lock<std::mutex>& hold);

    std::string m_finalPath;
    std::string m_stagedPath;
    std::filesystem::path m_stagedNative;
    bool m_staged = false;
};

// The first of "<path>.bak", "<path>.bak2", "<path>.bak3", … at which nothing exists.
std::string FreeBackupPath(std::string_view path);

} // namespace dovra
