#include "engine/interrupt_cleanup.h"

#include <set>
#include <system_error>

namespace dovra {
namespace {

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::set<std::filesystem::path>& Registry() {
    static std::set<std::filesystem::path> paths;
    return paths;
}

} // namespace

void RegisterInProgress(const std::filesystem::path& path) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().insert(path);
}

void UnregisterInProgress(const std::filesystem::path& path) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().erase(path);
}

void UnregisterInProgress(const std::filesystem::path& path, const std::unique_lock<std::mutex>&) {
    Registry().erase(path);
}

std::unique_lock<std::mutex> HoldOffInterruptCleanup() {
    return std::unique_lock<std::mutex>(RegistryMutex());
}

void RemoveEverythingInProgress() {
    // Locked and never unlocked: the process ends right after this.
    RegistryMutex().lock();
    for (const auto& path : Registry()) {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    Registry().clear();
}

} // namespace dovra
