#include "engine/text_lines.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/file_system.h"

namespace dovra {

std::optional<std::string> ReadTextModeFile(std::string_view path, std::optional<FileStamp>* stamp) {
    FilePtr file = OpenForReading(path);
    if (!file) {
        return std::nullopt;
    }
    if (stamp != nullptr) {
        *stamp = StampOf(file.get());
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
    // Text mode: a CR immediately followed by LF is dropped; a lone CR stays. Done in place, a stretch
    // between CRs at a time: settings folders hold megabytes of short CR LF lines.
    std::size_t kept = 0;
    for (std::size_t from = 0; from < raw.size();) {
        const void* cr = std::memchr(raw.data() + from, '\r', raw.size() - from);
        const std::size_t at =
            cr != nullptr ? static_cast<std::size_t>(static_cast<const char*>(cr) - raw.data()) : raw.size();
        const bool dropped = at + 1 < raw.size() && raw[at + 1] == '\n';
        const std::size_t stretchEnd = dropped ? at : std::min(at + 1, raw.size());
        std::memmove(raw.data() + kept, raw.data() + from, stretchEnd - from);
        kept += stretchEnd - from;
        from = at + 1;
    }
    raw.resize(kept);
    // The create command keeps every definition file's text until it writes it again: a folder of
    // thousands of small files would otherwise keep a byte per line it no longer holds.
    raw.shrink_to_fit();
    return raw;
}

std::vector<std::string_view> SplitLinePieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    ForEachLinePiece(text, [&pieces](std::string_view piece) { pieces.push_back(piece); });
    return pieces;
}

std::vector<std::string_view> SplitWholeLinePieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    ForEachWholeLinePiece(text, [&pieces](std::string_view piece) { pieces.push_back(piece); });
    return pieces;
}

} // namespace dovra
