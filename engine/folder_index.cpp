#include "engine/folder_index.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/file_system.h"
#include "engine/native_path.h"
#include "engine/path_text.h"

namespace dovra {
namespace {

// ASCII letters folded where they are characters of their own, as EqualsIgnoringCase compares them: the
// second byte of a double-byte character keeps its value.
std::string Folded(std::string_view name) {
    std::string folded(name);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(folded[i]);
        if (IsCp932LeadByte(byte) && i + 1 < folded.size()) {
            ++i;
        } else if (byte >= 'A' && byte <= 'Z') {
            folded[i] = static_cast<char>(byte - 'A' + 'a');
        }
    }
    return folded;
}

} // namespace

FolderIndex::FolderIndex(std::string_view folder) : m_folder(folder) {}

void FolderIndex::List() const {
    m_listed = true;
    // Listed with a separator appended, as the settings folders are: the empty folder means the root.
    auto native = ToNativePath(m_folder + kPathSeparator);
    if (!native) {
        return;
    }
    std::error_code error;
    std::filesystem::directory_iterator it(*native, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (auto name = FromNativePath(it->path().filename())) {
            m_byFoldedName[Folded(*name)].push_back(std::move(*name));
        }
    }
}

std::optional<std::string> FolderIndex::Resolve(std::string_view name) const {
    std::string exactPath = JoinPath(m_folder, name);
    if (PathExists(exactPath)) {
        return exactPath;
    }
    if (!m_listed) {
        List();
    }
    auto found = m_byFoldedName.find(Folded(name));
    if (found == m_byFoldedName.end()) {
        return std::nullopt;
    }
    const std::vector<std::string>& names = found->second;
    const bool exact = std::find(names.begin(), names.end(), name) != names.end();
    if (!exact && names.size() != 1) {
        return std::nullopt;
    }
    return JoinPath(m_folder, exact ? name : std::string_view(names.front()));
}

} // namespace dovra
