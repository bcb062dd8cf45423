#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The one place where code page 932 paths meet the OS's own form (UTF-8 on POSIX, UTF-16 on Windows).
namespace dovra {

std::optional<std::filesystem::path> ToNativePath(std::string_view cp932);
std::optional<std::string> FromNativePath(const std::filesystem::path& path);

// A native name as UTF-8 for matching and messages only: never fails (and never throws, as
// path::u8string() does on Windows for a name holding an unpaired surrogate); what has no UTF-8 form
// becomes U+FFFD.
std::string NativeToUtf8Lossy(const std::filesystem::path& path);

// fopen with a native path; mode as for fopen.
std::FILE* OpenNative(const std::filesystem::path& path, const char* mode);

// Opens a regular file for reading in binary mode; nullptr for anything else (a folder, a named pipe,
// a device) and for a file that cannot be opened. One open and one status query of the open file, with no
// window between a test and the open.
std::FILE* OpenRegularForReadingNative(const std::filesystem::path& path);

// Pushes a written file's data to the disk (after fflush).
bool SyncNative(std::FILE* file);

// Renames a file, replacing an existing file at `to` in one step (never a moment without either).
bool RenameReplacingNative(const std::filesystem::path& from, const std::filesystem::path& to);

// Renames a file or folder; fails, changing nothing, when something already exists at `to`.
bool RenameNoReplaceNative(const std::filesystem::path& from, const std::filesystem::path& to);

// The flush for a folder of files written without one each: afterwards every file written so far on the
// file system that holds `path` is on the disk. Linux: one syncfs of that file system. Other POSIX
// systems: sync, which waits for every file system. Windows has no such call for a user; there
// FinishStagedFileNative flushes each file as it is closed and this call has nothing left to do.
bool SyncFileSystemNative(const std::filesystem::path& path);

// Called before a file written for SyncFileSystemNative is closed (after fflush).
bool FinishStagedFileNative(std::FILE* file);

// Gives the open file `to` the permission bits of the file at `from` (a game executable stays
// executable). Windows has no such bits: nothing to do there.
bool CopyPermissionsNative(std::FILE* to, const std::filesystem::path& from);

} // namespace dovra
