#pragma once

#include <string>
#include <string_view>

// Path strings as the engine holds them: code page 932 bytes. These functions walk the text by characters,
// so the second byte of a double-byte character (表 is 0x95 0x5C) is never taken for a separator or a dot.
namespace dovra {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

bool IsCp932LeadByte(unsigned char byte);
bool IsPathSeparator(char c);

// folder + the platform's separator + name, exactly (no separator is dropped or merged).
std::string JoinPath(std::string_view folder, std::string_view name);

// The text after the last separator (the whole text when there is none).
std::string_view FileNamePart(std::string_view path);

// The text up to the last character of the path that is a separator (without it); empty when there is none.
std::string_view FolderPart(std::string_view path);

// The name without its last dot and what follows (".ini" gives the empty name).
std::string_view RemoveExtension(std::string_view fileName);

// The last extension with its dot (".ini"), or empty.
std::string_view ExtensionPart(std::string_view fileName);

// The path without trailing separators, unless nothing but a root would remain ("/", "C:\").
std::string TrimTrailingSeparators(std::string_view path);

// Byte comparison that folds ASCII letters only, and only where they are characters of their own (not the
// second byte of a double-byte character), as Windows compares file names for these folders.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

} // namespace dovra
