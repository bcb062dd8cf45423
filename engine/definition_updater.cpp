#include "engine/definition_updater.h"

#include "engine/message_box.h"
#include "rewrite/base_check.h"

namespace {

bool LoadBinary(std::string_view path, dovra::BinaryImage& image, std::string& pathMember) {
    // The previous content goes first, so a failed load leaves the image empty, never stale.
    image.Clear();
    pathMember = std::string(path);
    return dovra::ReadWholeFile(path, image.data, image.size);
}

} // namespace

bool CDefinitionUpdater::LoadOldBinary(std::string_view path) {
    return LoadBinary(path, m_oldImage, m_oldBinaryPath);
}

bool CDefinitionUpdater::LoadNewBinary(std::string_view path) {
    return LoadBinary(path, m_newImage, m_newBinaryPath);
}

bool CDefinitionUpdater::LoadBaseBinary(std::string_view path) {
    if (!LoadBinary(path, m_baseImage, m_baseBinaryPath)) {
        return false;
    }
    // A wrong file picked here would have the rewrite carry its differences as the user's own edits, so it
    // is refused before anything is written.
    if (auto mismatch = dovra::BaseMismatch(m_oldSummaries, m_oldImage, m_baseImage)) {
        m_baseImage.Clear();
        dovra::ShowMessageBox(*mismatch);
        return false;
    }
    return true;
}

void CDefinitionUpdater::ClearBaseBinary() {
    m_baseImage.Clear();
    m_baseBinaryPath.clear();
}

void CDefinitionUpdater::Log(std::string_view line) const {
    if (m_log) {
        m_log(std::string(line));
    }
}

bool CDefinitionUpdater::Confirm(std::string_view question) const {
    return m_confirm ? m_confirm(std::string(question)) : false;
}
