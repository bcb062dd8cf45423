#include "definitions/definition_entry.h"

#include "definitions/number_text.h"

namespace dovra {
namespace {

// The editor gathers a column in a 1024-byte buffer: a column of 1024 bytes or more ends the line's parse.
constexpr std::size_t kColumnBuffer = 1024;

} // namespace

bool DefinitionEntry::Parse(std::string_view line) {
    line = line.substr(0, line.find('\0'));
    std::size_t column = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (i - start == kColumnBuffer) {
            break;
        }
        if (line[i] != ',') {
            continue;
        }
        std::string_view text = line.substr(start, i - start);
        switch (column) {
        case 0:
        case 3: {
            std::uint32_t value = 0;
            if (!text.empty()) {
                auto parsed = ParseHex32(text);
                if (!parsed) {
                    return false;
                }
                value = *parsed;
            }
            (column == 0 ? address : size) = value;
            break;
        }
        case 1:
            name = text;
            break;
        case 2:
            widthText = text;
            break;
        case 4: {
            auto flag = static_cast<std::uint32_t>(ParseAtoi(text));
            flag4 = flag <= 1 ? flag : 0;
            break;
        }
        case 5:
            text5 = text;
            break;
        case 6:
            text6 = text;
            break;
        case 7:
            number7 = ParseAtoi(text);
            break;
        case 8:
            text8 = text;
            break;
        case 9:
            text9 = text;
            break;
        default:
            break;
        }
        ++column;
        start = i + 1;
    }
    if (size == 0) {
        std::int32_t width = ParseAtoi(widthText);
        size = width >= 2 ? static_cast<std::uint32_t>(width) : 1;
    }
    return true;
}

} // namespace dovra
