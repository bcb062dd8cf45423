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
    for (std::string_view piece : SplitLinePieces(content)) {
        // Pieces are views into `content`; the line feeds before this piece give its line number.
        lineNumber += static_cast<std::size_t>(std::count(counted, piece.data(), '\n'));
        counted = piece.data();
        std::size_t comma = piece.find(',');
        if (comma == std::string_view::npos) {
            continue;
        }
        std::string_view column = piece.substr(0, comma);
        std::optional<std::uint32_t> address = ParseHex32(column);
        if (!address) {
            result.failure = AddressShiftFailure{lineNumber, std::string(column)};
            return result;
        }
        fmt::format_to(std::back_inserter(result.text), "{:X}", static_cast<std::uint32_t>(*address + shift));
        result.text.append(piece.substr(comma));
    }
    return result;
}

} // namespace dovra
