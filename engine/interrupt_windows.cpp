#include <windows.h>

#include "engine/interrupt_cleanup.h"

namespace dovra {
namespace {

// Windows calls this on a thread of its own for Ctrl-C, Ctrl-Break and a closed console window.
BOOL WINAPI OnConsoleEvent(DWORD) {
    RemoveEverythingInProgress();
    return FALSE; // the default handler then ends the process
}

} // namespace

void InstallInterruptCleanup() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

} // namespace dovra
