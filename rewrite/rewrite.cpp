#include "engine/definition_updater.h"

// Placeholder until the rewrite command lands.
bool CDefinitionUpdater::Rewrite() {
    return true;
}
