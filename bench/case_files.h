#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "bench/bench_support.h"

namespace dovra::bench {

// A generated case on disk, as a user has it: the old settings folder, the old and the new binary, in a
// scratch folder removed at the end of the process. Paths are given in the engine's form (code page 932).
class CaseFiles {
public:
    explicit CaseFiles(const GeneratorOptions& options);

    const GeneratedCase& Case() const { return *m_case; }
    const std::filesystem::path& Root() const { return m_folder.Path(); }
    std::string OldFolder() const { return EnginePath(Root() / "old"); }
    std::string OldBinary() const { return EnginePath(Root() / "old.bin"); }
    std::string NewBinary() const { return EnginePath(Root() / "new.bin"); }
    // A file in a folder of its own, for baselines that write.
    std::string ScratchFile(const std::string& name) const { return EnginePath(Root() / "scratch") + "/" + name; }

    static std::string EnginePath(const std::filesystem::path& path);

private:
    ScratchFolder m_folder;
    const GeneratedCase* m_case;
};

// The files for these options, written on first use and kept for the rest of the process.
const CaseFiles& CachedCaseFiles(const GeneratorOptions& options);

} // namespace dovra::bench
