#include "engine/text_lines.h"

#include <algorithm>
#include <cstdio>

#include "engine/file_system.h"

namespace dovra {

std::optional<std::string> ReadTextModeFile(std::string_view path) {
    FilePtr file = OpenForReading(path);
    if (!file) {
        return std::nullopt;
    }
    std::string raw;
    char buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        raw.append(buffer, count);
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    // Text mode: a CR immediately followed by LF is dropped; a lone CR stays.
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            continue;
        }
        text += raw[i];
    }
    return text;
}

std::vector<std::string_view> SplitLinePieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t limit = std::min(text.size() - start, kLinePieceMax);
        std::string_view window = text.substr(start, limit);
        std::size_t lineFeed = window.find('\n');
        std::size_t length = lineFeed == std::string_view::npos ? limit : lineFeed + 1;
        std::string_view piece = text.substr(start, length);
        // The piece is used as a C string: whatever follows a NUL byte is lost.
        pieces.push_back(piece.substr(0, std::min(piece.size(), piece.find('\0'))));
        start += length;
    }
    return pieces;
}

} // namespace dovra
