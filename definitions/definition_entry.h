#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dovra {

// One line of a definition file: ten comma-terminated columns.
struct DefinitionEntry {
    std::uint32_t address = 0; // column 0, hexadecimal
    std::string name;          // column 1
    std::string widthText;     // column 2: "4" or "2" mark a 4- or 2-byte field, anything else 1 byte
    std::uint32_t size = 0;    // column 3, hexadecimal; never 0 after a parse
    std::uint32_t flag4 = 0;   // column 4, decimal; only 0 or 1 is stored
    std::string text5;
    std::string text6;
    std::int32_t number7 = 0; // column 7, decimal
    std::string text8;
    std::string text9;

    // Updates the fields whose columns the line holds; the others keep their values, so parsing the lines
    // of a file into one entry carries missing columns over from earlier lines. The line is used as a C
    // string (a NUL ends it). Returns false when column 0 or 3 holds no hexadecimal number or one above
    // FFFFFFFF; the columns before it are updated, the later ones are not, and the size rule is not applied.
    bool Parse(std::string_view line);
};

} // namespace dovra
