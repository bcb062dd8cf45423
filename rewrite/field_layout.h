#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "definitions/definition_table.h"

// How both field walks of the rewrite divide a table region into fields and name them.
namespace dovra {

// The width of the field at `position` of a region, the region's records `recordSize` (at least 1) bytes
// long: 4 or 2 where the definition line for the offset says exactly "4" or "2", else 1. A definition file
// with fewer lines than the record has bytes gives 1-byte fields for the rest, and a wide field that would
// reach past `regionSize` is taken byte by byte instead.
std::uint32_t FieldWidthAt(const DefinitionTable& layout, std::uint32_t recordSize, std::uint32_t position,
                           std::uint32_t regionSize);

// Values in the target binaries are little-endian; up to 4 bytes.
std::uint32_t LittleEndianValue(std::span<const std::uint8_t> bytes);

// A missing name (the lists may be shorter than the old table's layout) shows as empty text.
const std::string& NameAt(const std::vector<std::string>& names, std::uint32_t index);

} // namespace dovra
