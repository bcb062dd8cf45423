#include "migration/address_shift.h"

#include <algorithm>

#include <fmt/format.h>

#include "definitions/number_text.h"
#include "engine/text_lines.h"

namespace dovra {

ShiftedDefinition ShiftDefinitionAddresses(std::string_view content, std::int32_t delta) {
    ShiftedDefinition result;
    result.text.reserve(content.size() + content.size() / 8);
    const auto shift = static_cast<std::uint32_t>(delta);
    std::size_t lineNumber = 1;
    const char* counted = content.data();
    ForEachWholeLinePiece(content, [&](std::string_view whole) {
        if (result.failure) {
            return;
        }
        // Pieces are views into `content`; the line feeds before this piece give its line number.
        lineNumber += static_cast<std::size_t>(std::count(counted, whole.data(), '\n'));
        counted = whole.data();
        // The editor reads the piece as a C string, up to a NUL; what follows is still written back.
        std::string_view piece = whole.substr(0, whole.find('\0'));
        std::size_t comma = piece.find(',');
        if (comma == std::string_view::npos) {
            // No address to move (the rest of a long line, an empty line): kept as it stands, so every line
            // end stays and the next line is never glued onto this one.
            result.text.append(whole);
            return;
        }
        std::string_view column = piece.substr(0, comma);
        std::optional<std::uint32_t> address = ParseHex32(column);
        if (!address) {
            result.failure = AddressShiftFailure{lineNumber, std::string(column)};
            return;
        }
        fmt::format_to(std::back_inserter(result.text), "{:X}", static_cast<std::uint32_t>(*address + shift));
        result.text.append(whole.substr(comma));
    });
    return result;
}

} // namespace dovra
