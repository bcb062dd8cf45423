#include <cerrno>
#include <cstdio>
#include <system_error>

#include <fcntl.h>
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

std::FILE* OpenRegularForReadingNative(const std::filesystem::path& path) {
    // Non-blocking, so that a named pipe without a writer is refused at once instead of waiting for one;
    // the flag means nothing for a regular file.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat info {};
    std::FILE* file = nullptr;
    if (fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
        file = fdopen(descriptor, "rb");
    }
    if (file == nullptr) {
        close(descriptor);
    }
    return file;
}

bool SyncNative(std::FILE* file) {
    return fsync(fileno(file)) == 0;
}

bool RenameReplacingNative(const std::filesystem::path& from, const std::filesystem::path& to) {
    // rename(2) replaces the target atomically.
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameNoReplaceNative(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef __linux__
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    // Only a file system that cannot do it falls back to the test-then-rename below.
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
#endif
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(to, error))) {
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool SyncFileSystemNative(const std::filesystem::path& path) {
#ifdef __linux__
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    const bool synced = syncfs(descriptor) == 0;
    close(descriptor);
    return synced;
#else
    (void)path;
    sync();
    return true;
#endif
}

bool FinishStagedFileNative(std::FILE*) {
    return true;
}

bool CopyPermissionsNative(std::FILE* to, const std::filesystem::path& from) {
    struct stat info {};
    if (stat(from.c_str(), &info) != 0) {
        return false;
    }
    // Set-user-ID and set-group-ID are not passed on to a file the user did not make that way.
    return fchmod(fileno(to), info.st_mode & 0777) == 0;
}

namespace {

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::optional<FileStamp> StampFrom(const struct stat& info) {
    if (!S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
#ifdef __APPLE__
    const timespec& modified = info.st_mtimespec;
    const timespec& changed = info.st_ctimespec;
#else
    const timespec& modified = info.st_mtim;
    const timespec& changed = info.st_ctim;
#endif
    return FileStamp{static_cast<std::uint64_t>(info.st_size), Nanoseconds(modified), Nanoseconds(changed),
                     static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

} // namespace

std::optional<FileStamp> StampOf(std::FILE* file) {
    struct stat info {};
    if (file == nullptr || fstat(fileno(file), &info) != 0) {
        return std::nullopt;
    }
    return StampFrom(info);
}

std::optional<FileStamp> StampAt(std::string_view path) {
    auto native = ToNativePath(path);
    struct stat info {};
    if (!native || stat(native->c_str(), &info) != 0) {
        return std::nullopt;
    }
    return StampFrom(info);
}

std::optional<std::uint64_t> FileSize(std::FILE* file) {
    struct stat info {};
    if (file == nullptr || fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

} // namespace dovra
