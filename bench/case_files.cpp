#include "bench/case_files.h"

#include <map>
#include <stdexcept>
#include <tuple>

#include "engine/native_path.h"

namespace dovra::bench {

CaseFiles::CaseFiles(const GeneratorOptions& options) : m_folder("dovra-bench"), m_case(&CachedCase(options)) {
    WriteSettingsFolder(*m_case, Root() / "old");
    WriteFile(Root() / "old.bin", m_case->oldImage);
    WriteFile(Root() / "new.bin", m_case->newImage);
    std::filesystem::create_directories(Root() / "scratch");
}

std::string CaseFiles::EnginePath(const std::filesystem::path& path) {
    const std::optional<std::string> converted = FromNativePath(path);
    if (!converted) {
        throw std::runtime_error("the scratch folder has no code page 932 name: " + path.string());
    }
    return *converted;
}

const CaseFiles& CachedCaseFiles(const GeneratorOptions& options) {
    static std::map<std::tuple<std::uint64_t, std::uint32_t, std::uint32_t, int>, std::unique_ptr<CaseFiles>> files;
    auto& slot = files[{options.seed, options.imageSize, options.tableCount, static_cast<int>(options.style)}];
    if (!slot) {
        slot = std::make_unique<CaseFiles>(options);
    }
    return *slot;
}

} // namespace dovra::bench
