#include <csignal>
#include <thread>

#include <pthread.h>

#include "engine/interrupt_cleanup.h"

namespace dovra {
namespace {

// A signal the process was started ignoring stays ignored: under nohup a closed terminal must not end the
// run, nor Ctrl-C a command started in the background by a shell without job control.
sigset_t InterruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            sigaddset(&signals, signal);
        }
    }
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
