#include "engine/interrupt_cleanup.h"
#include "ui/dovra_updater_app.h"

int main(int argc, char** argv) {
    // First, before Qt starts any thread: an interrupted command removes what it has in progress.
    dovra::InstallInterruptCleanup();
    CDovraUpdaterApp application;
    return application.Run(argc, argv);
}
