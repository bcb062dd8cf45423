#include "bench/rewrite_files.h"

#include <filesystem>

namespace dovra::bench {
namespace {

std::vector<std::uint8_t> WithChangedFields(const GeneratedCase& generated, std::size_t count) {
    std::vector<std::uint8_t> image = generated.oldImage;
    std::size_t changed = 0;
    for (const auto& table : generated.tables) {
        for (std::uint32_t record = 0; record < table.recordCount && changed < count; ++record) {
            std::size_t at = std::size_t{table.oldAddress} + std::size_t{record} * table.recordSize;
            for (const auto& field : table.fields) {
                const bool number = field.kind != FieldKind::Text && (field.width == 2 || field.width == 4);
                const std::uint32_t units = number ? 1 : field.width;
                const std::uint32_t step = number ? field.width : 1;
                for (std::uint32_t unit = 0; unit < units && changed < count; ++unit, at += step, ++changed) {
                    image[at] ^= 0x01;
                }
            }
        }
    }
    return image;
}

} // namespace

RewriteFiles::RewriteFiles() : m_files(CachedCaseFiles(RealisticOptions(32, 300))) {
    std::filesystem::copy(m_files.Root() / "old", m_files.Root() / "new",
                          std::filesystem::copy_options::overwrite_existing | std::filesystem::copy_options::recursive);
    WriteFile(m_files.Root() / "changed.bin", WithChangedFields(m_files.Case(), kChangedFields));
}

std::string RewriteFiles::NewFolder() const {
    return CaseFiles::EnginePath(m_files.Root() / "new");
}

std::string RewriteFiles::NewBinary() const {
    return CaseFiles::EnginePath(m_files.Root() / "changed.bin");
}

const RewriteFiles& CachedRewriteFiles() {
    static const RewriteFiles files;
    return files;
}

} // namespace dovra::bench
