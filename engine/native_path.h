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

// Pushes a written file's data to the disk (after fflush).
bool SyncNative(std::FILE* file);

// Renames a file, replacing an existing file at `to` in one step (never a moment without either).
bool RenameReplacingNative(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace dovra
