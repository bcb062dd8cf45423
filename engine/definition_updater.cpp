#include "engine/definition_updater.h"

namespace {

bool LoadBinary(std::string_view path, dovra::BinaryImage& image, std::string& pathMember) {
    // The previous content goes first, so a failed load leaves the image empty, never stale.
    image.Clear();
    pathMember = std::string(path);
    return dovra::LoadWholeFile(path, image.data, image.size);
}

} // namespace

bool CDefinitionUpdater::LoadOldBinary(std::string_view path) {
    return LoadBinary(path, m_oldImage, m_oldBinaryPath);
}

bool CDefinitionUpdater::LoadNewBinary(std::string_view path) {
    return LoadBinary(path, m_newImage, m_newBinaryPath);
}

void CDefinitionUpdater::Log(std::string_view line) const {
    if (m_log) {
        m_log(std::string(line));
    }
}

bool CDefinitionUpdater::Confirm(std::string_view question) const {
    return m_confirm ? m_confirm(std::string(question)) : false;
}
