#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Definition files and name lists are read as the Dovra editor reads them: in text mode (a CR LF pair
// becomes one LF) through a 1024-byte fgets buffer, so a line arrives in pieces of at most 1023 bytes and
// every piece counts as a line of its own. Each piece is then used as a C string: a NUL byte ends it.
namespace dovra {

inline constexpr std::size_t kLinePieceMax = 1023;

struct FileStamp;

// The file's bytes with every CR LF pair turned into LF (letter-case fallback of ResolveExistingFile
// included); nullopt when it cannot be opened or read. `stamp`, when given, receives the stamp of the file
// opened, taken before it is read (so a write during the read changes it); nullopt when there is none.
std::optional<std::string> ReadTextModeFile(std::string_view path, std::optional<FileStamp>* stamp = nullptr);

// Calls `visit` with each line piece of text-mode content, in order, every byte included (a NUL and what
// follows it too); a final piece without LF is one too. Views into `text`, without a list of them: a file
// of short lines would need many times its own size for one.
template <typename Visit> void ForEachWholeLinePiece(std::string_view text, Visit visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t limit = text.size() - start < kLinePieceMax ? text.size() - start : kLinePieceMax;
        const std::size_t lineFeed = text.substr(start, limit).find('\n');
        const std::size_t length = lineFeed == std::string_view::npos ? limit : lineFeed + 1;
        visit(text.substr(start, length));
        start += length;
    }
}

// The same, each piece cut at its first NUL as a C string is: what the editor reads of it.
template <typename Visit> void ForEachLinePiece(std::string_view text, Visit visit) {
    ForEachWholeLinePiece(text, [&visit](std::string_view piece) { visit(piece.substr(0, piece.find('\0'))); });
}

// The line pieces of text-mode content, in order; a final piece without LF is one too. Views into `text`.
std::vector<std::string_view> SplitLinePieces(std::string_view text);
// The same pieces with every byte, a NUL and what follows it included: for writing a file back whole.
std::vector<std::string_view> SplitWholeLinePieces(std::string_view text);

} // namespace dovra
