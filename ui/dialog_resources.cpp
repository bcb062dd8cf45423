#include "ui/dialog_resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares a function of the global namespace, so it is used from one here.
static void InitCompiledResources() {
    Q_INIT_RESOURCE(dovra_updater);
}

namespace dovra {

void InitDialogResources() {
    InitCompiledResources();
}

} // namespace dovra
