#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/encoding.h"
#include "engine/file_system.h"
#include "engine/native_path.h"

namespace dovra {

std::optional<std::filesystem::path> ToNativePath(std::string_view cp932) {
    auto utf8 = Cp932ToUtf8(cp932);
    if (!utf8) {
        return std::nullopt;
    }
    return std::filesystem::path(*utf8);
}

std::optional<std::string> FromNativePath(const std::filesystem::path& path) {
    return Utf8ToCp932(path.native());
}

std::string NativeToUtf8Lossy(const std::filesystem::path& path) {
    // POSIX names are bytes, taken to be UTF-8; a name that is not is reported as it stands.
    return path.native();
}

std::FILE* OpenNative(const std::filesystem::path& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool SyncNative(std::FILE* file) {
    return fsync(fileno(file)) == 0;
}

bool RenameReplacingNative(const std::filesystem::path& from, const std::filesystem::path& to) {
    // rename(2) replaces the target atomically.
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::optional<std::uint64_t> FileSize(std::FILE* file) {
    struct stat info {};
    if (file == nullptr || fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

} // namespace dovra
