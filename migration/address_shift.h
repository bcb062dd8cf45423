#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Moving a definition file's addresses along with its table.
namespace dovra {

// The first line whose address column does not convert.
struct AddressShiftFailure {
    std::size_t lineNumber = 0; // 1-based line of the file
    std::string addressColumn;  // the column's bytes as they stand
};

struct ShiftedDefinition {
    std::string text;                           // the file to write, when there is no failure
    std::optional<AddressShiftFailure> failure; // set when a line's address does not convert
};

// Rewrites text-mode definition content (CR LF already turned into LF) with every address moved by
// `delta`, modulo 2^32. Each line piece of at most 1023 bytes is handled as a line of its own, as the
// Dovra editor reads them: the text before its first comma is the address column, written back in upper
// case hexadecimal without leading zeros, and everything from the comma on is kept byte for byte. A piece
// without a comma holds no address and is kept byte for byte, so the file keeps every line and line end.
ShiftedDefinition ShiftDefinitionAddresses(std::string_view content, std::int32_t delta);

} // namespace dovra
