#include <climits>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "engine/file_system.h"
#include "engine/native_path.h"
#include "engine/wide_text_windows.h"

// Windows paths are UTF-16: code page 932 text goes to the wide CRT and Win32 calls through Cp932ToWide,
// never through the narrow calls, whose ANSI code page may be anything (1252 on a western system).
namespace dovra {

std::optional<std::filesystem::path> ToNativePath(std::string_view cp932) {
    auto wide = Cp932ToWide(cp932);
    if (!wide) {
        return std::nullopt;
    }
    return std::filesystem::path(std::move(*wide));
}

std::optional<std::string> FromNativePath(const std::filesystem::path& path) {
    return WideToCp932(path.native());
}

std::string NativeToUtf8Lossy(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::string();
    }
    // Without WC_ERR_INVALID_CHARS an unpaired surrogate becomes U+FFFD instead of failing the call.
    const int inputLength = static_cast<int>(wide.size());
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), inputLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), inputLength, utf8.data(), length, nullptr, nullptr);
    }
    return utf8;
}

std::FILE* OpenNative(const std::filesystem::path& path, const char* mode) {
    // The C library's "x" (fail when the file exists) is unknown to older Windows C runtimes, which ignore
    // it and truncate the file: it is done here with _O_EXCL instead.
    std::wstring wideMode;
    bool exclusive = false;
    bool update = false;
    bool binary = false;
    for (const char* c = mode; *c != '\0'; ++c) {
        exclusive = exclusive || *c == 'x';
        update = update || *c == '+';
        binary = binary || *c == 'b';
        if (*c != 'x') {
            wideMode += static_cast<wchar_t>(*c);
        }
    }
    if (!exclusive) {
        return _wfopen(path.c_str(), wideMode.c_str());
    }
    int flags = _O_CREAT | _O_EXCL | (update ? _O_RDWR : _O_WRONLY) | (binary ? _O_BINARY : _O_TEXT);
    int descriptor = _wopen(path.c_str(), flags, _S_IREAD | _S_IWRITE);
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* file = _wfdopen(descriptor, wideMode.c_str());
    if (file == nullptr) {
        _close(descriptor);
    }
    return file;
}

std::FILE* OpenRegularForReadingNative(const std::filesystem::path& path) {
    // Opening a folder fails on Windows anyway; the attribute test keeps devices and pipes out.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        (attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return nullptr;
    }
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file != nullptr && GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool SyncNative(std::FILE* file) {
    // _commit is FlushFileBuffers on the file's handle.
    return _commit(_fileno(file)) == 0;
}

bool RenameReplacingNative(const std::filesystem::path& from, const std::filesystem::path& to) {
    // No copy fallback: a move within one folder is a rename, and a copy would not be all-or-nothing.
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RenameNoReplaceNative(const std::filesystem::path& from, const std::filesystem::path& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists; a folder that another
    // program holds open fails too, and then nothing has moved.
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool SyncFileSystemNative(const std::filesystem::path&) {
    // Flushing a whole volume needs administrator rights on Windows; each file was flushed as it was
    // closed (FinishStagedFileNative).
    return true;
}

bool FinishStagedFileNative(std::FILE* file) {
    return _commit(_fileno(file)) == 0;
}

bool CopyPermissionsNative(std::FILE*, const std::filesystem::path&) {
    return true;
}

namespace {

// The CRT gives whole seconds, which StampVouches waits out too, its creation time where POSIX has the last
// status change, and no file numbers.
std::optional<FileStamp> StampFrom(const struct _stati64& info) {
    if ((info.st_mode & _S_IFMT) != _S_IFREG) {
        return std::nullopt;
    }
    return FileStamp{static_cast<std::uint64_t>(info.st_size), static_cast<std::int64_t>(info.st_mtime) * 1'000'000'000,
                     static_cast<std::int64_t>(info.st_ctime) * 1'000'000'000, 0, 0};
}

} // namespace

std::optional<FileStamp> StampOf(std::FILE* file) {
    struct _stati64 info {};
    if (file == nullptr || _fstati64(_fileno(file), &info) != 0) {
        return std::nullopt;
    }
    return StampFrom(info);
}

std::optional<FileStamp> StampAt(std::string_view path) {
    auto native = ToNativePath(path);
    struct _stati64 info {};
    if (!native || _wstati64(native->c_str(), &info) != 0) {
        return std::nullopt;
    }
    return StampFrom(info);
}

std::optional<std::uint64_t> FileSize(std::FILE* file) {
    struct _stati64 info {};
    if (file == nullptr || _fstati64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

} // namespace dovra
