#include <csignal>
#include <thread>

#include <pthread.h>

#include "engine/interrupt_cleanup.h"

namespace dovra {
namespace {

sigset_t InterruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

// Runs on a thread of its own, so the removal is ordinary code (it may lock and allocate), which a
// signal handler could not do safely.
void WaitForInterrupt(sigset_t signals) {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) {
        return;
    }
    RemoveEverythingInProgress();
    // End as the signal would have, so a shell sees the usual status (130 for Ctrl-C).
    std::signal(signal, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    raise(signal);
}

} // namespace

void InstallInterruptCleanup() {
    // Blocked here, the signals stay blocked in every thread started later; only the waiting thread takes
    // them.
    sigset_t signals = InterruptSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(WaitForInterrupt, signals).detach();
}

} // namespace dovra
