#pragma once

#include <filesystem>
#include <mutex>

// What a command has in progress on disk (temporary files, an output folder being built), so that an
// interrupt (Ctrl-C, SIGTERM, SIGHUP, a closed console) can remove it before the process ends.
namespace dovra {

// Paths are native. A registered folder is removed with everything in it.
void RegisterInProgress(const std::filesystem::path& path);
void UnregisterInProgress(const std::filesystem::path& path);

// Held while a command moves its results into place, so that an interrupt waits until the move is done
// rather than leaving a half-moved state.
std::unique_lock<std::mutex> HoldOffInterruptCleanup();
// The same as UnregisterInProgress for a caller that holds the lock above.
void UnregisterInProgress(const std::filesystem::path& path, const std::unique_lock<std::mutex>& held);

// Removes everything registered and keeps the lock for good: the caller is about to end the process, and
// no command may go on writing meanwhile.
void RemoveEverythingInProgress();

// Platform layer: from now on, an interrupt removes what is in progress and then ends the process as the
// interrupt would have. Call once, before any other thread is started.
void InstallInterruptCleanup();

} // namespace dovra
