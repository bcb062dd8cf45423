#include "engine/path_text.h"

namespace dovra {
namespace {

// Calls visit(index, isSingleByte) for the first byte of every character of a code page 932 text.
template <typename Visit> void ForEachCharacter(std::string_view text, Visit visit) {
    for (std::size_t i = 0; i < text.size();) {
        bool lead = IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        visit(i, !lead);
        i += lead ? 2 : 1;
    }
}

// Index of the last single-byte character that satisfies the predicate, or npos.
template <typename Predicate> std::size_t FindLastCharacter(std::string_view text, Predicate predicate) {
    std::size_t found = std::string_view::npos;
    ForEachCharacter(text, [&](std::size_t i, bool single) {
        if (single && predicate(text[i])) {
            found = i;
        }
    });
    return found;
}

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Length of the root at the start of a path ("/" on POSIX; "\", "C:", "C:\" or "\\server\share\" on
// Windows), which trailing-separator trimming must keep.
std::size_t RootLength(std::string_view path) {
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':') {
        return (path.size() >= 3 && IsPathSeparator(path[2])) ? 3 : 2;
    }
#endif
    return (!path.empty() && IsPathSeparator(path[0])) ? 1 : 0;
}

} // namespace

bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsPathSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    path += kPathSeparator;
    path.append(name);
    return path;
}

std::string_view FileNamePart(std::string_view path) {
    std::size_t separator = FindLastCharacter(path, IsPathSeparator);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string_view FolderPart(std::string_view path) {
    std::size_t separator = FindLastCharacter(path, IsPathSeparator);
    return separator == std::string_view::npos ? std::string_view() : path.substr(0, separator);
}

std::string_view RemoveExtension(std::string_view fileName) {
    std::size_t dot = FindLastCharacter(fileName, [](char c) { return c == '.'; });
    return dot == std::string_view::npos ? fileName : fileName.substr(0, dot);
}

std::string_view ExtensionPart(std::string_view fileName) {
    return fileName.substr(RemoveExtension(fileName).size());
}

std::string TrimTrailingSeparators(std::string_view path) {
    std::size_t root = RootLength(path);
    std::size_t end = path.size();
    for (;;) {
        // Only a separator that is a character of its own counts: "D:\表" ends in a 0x5C trail byte.
        std::size_t last = FindLastCharacter(path.substr(0, end), [](char) { return true; });
        if (last == std::string_view::npos || last < root || last + 1 != end || !IsPathSeparator(path[last])) {
            break;
        }
        end = last;
    }
    return std::string(path.substr(0, end));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size();) {
        bool lead = IsCp932LeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size();
        if (lead) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) {
                return false;
            }
            i += 2;
        } else {
            if (FoldAscii(a[i]) != FoldAscii(b[i])) {
                return false;
            }
            ++i;
        }
    }
    return true;
}

} // namespace dovra
