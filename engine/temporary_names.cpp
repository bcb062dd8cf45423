#include "engine/temporary_names.h"

#include <cstdint>
#include <mutex>
#include <random>

#include <fmt/format.h>

namespace dovra {
namespace {

constexpr std::string_view kPrefix = ".dovra-";
constexpr std::string_view kSuffix = ".tmp";
constexpr std::size_t kDigits = 8;

// Seeded once: std::random_device costs tens of microseconds each time it is made, which added up to a
// good part of the create command's time on a folder of thousands of tables.
std::uint32_t NextRandom() {
    static std::mutex mutex;
    static std::mt19937 engine{std::random_device{}()};
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<std::uint32_t>(engine());
}

bool IsLowerHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

} // namespace

std::string NextTemporaryName() {
    return fmt::format("{}{:08x}{}", kPrefix, NextRandom(), kSuffix);
}

bool IsTemporaryName(std::string_view name) {
    if (name.size() != kPrefix.size() + kDigits + kSuffix.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix)) {
        return false;
    }
    for (char c : name.substr(kPrefix.size(), kDigits)) {
        if (!IsLowerHexDigit(c)) {
            return false;
        }
    }
    return true;
}

} // namespace dovra
