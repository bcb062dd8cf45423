#include "engine/definition_updater.h"

// Placeholder until the create command lands.
bool CDefinitionUpdater::CreateDefinitions() {
    return m_oldImage.IsLoaded() && m_newImage.IsLoaded();
}

void CDefinitionUpdater::CopyNameLists(const std::string&, const std::string&) {}

void CDefinitionUpdater::RelocateTables(const std::string&) {}
