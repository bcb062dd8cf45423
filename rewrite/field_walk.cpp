#include "rewrite/field_walk.h"

#include <algorithm>

#include <fmt/format.h>

#include "engine/texts.h"

namespace dovra {
namespace {

// The width of the field that starts at `offset` of a record: only the exact texts "4" and "2" mark wider
// fields. A definition file with fewer lines than the record has bytes gives 1-byte fields for the rest.
std::uint32_t DeclaredWidth(const std::vector<DefinitionEntry>& entries, std::uint32_t offset) {
    if (offset >= entries.size()) {
        return 1;
    }
    const std::string& width = entries[offset].widthText;
    if (width == "4") {
        return 4;
    }
    return width == "2" ? 2 : 1;
}

const char* LineFormat(std::uint32_t width) {
    switch (width) {
    case 4:
        return text::kFieldLine4;
    case 2:
        return text::kFieldLine2;
    default:
        return text::kFieldLine1;
    }
}

// Values in the target binaries are little-endian.
std::uint32_t ReadValue(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        value |= std::uint32_t{bytes[i]} << (8 * i);
    }
    return value;
}

// A missing name (the lists may be shorter than the old table's layout) shows as empty text.
const std::string& NameAt(const std::vector<std::string>& names, std::uint32_t index) {
    static const std::string kNone;
    return index < names.size() ? names[index] : kNone;
}
const std::string& NameAt(const std::map<std::uint32_t, std::string>& names, std::uint32_t offset) {
    static const std::string kNone;
    auto found = names.find(offset);
    return found != names.end() ? found->second : kNone;
}

} // namespace

void RewriteFields(const CDefinitionUpdater& engine, const TableRegions& regions, std::uint32_t recordSize,
                   const DefinitionTable& layout, const std::vector<std::string>& recordNames) {
    // Widths, field names and record names all come from the new layout, so its records are the ones walked:
    // dividing positions by the old record size would name every field from a layout it does not belong to.
    // The bytes written are the same either way (the new region ends equal to the old one); the user is told
    // which layout names them.
    if (layout.recordSize != 0 && layout.recordSize != recordSize) {
        engine.Log(fmt::format(fmt::runtime(text::kRecordSizeChanged), recordSize, layout.recordSize));
        recordSize = layout.recordSize;
    }
    // A table with data always has a record size of at least 1; the guard only keeps a division by zero out.
    recordSize = std::max<std::uint32_t>(recordSize, 1);
    const auto size = static_cast<std::uint32_t>(regions.oldBytes.size());
    std::uint32_t position = 0;
    while (position < size) {
        std::uint32_t record = position / recordSize;
        std::uint32_t offset = position % recordSize;
        std::uint32_t width = DeclaredWidth(layout.entries, offset);
        // A wide field that would reach past the region's end is taken byte by byte instead.
        if (width > size - position) {
            width = 1;
        }
        auto oldValue = regions.oldBytes.subspan(position, width);
        auto newValue = regions.newBytes.subspan(position, width);
        if (!std::ranges::equal(oldValue, newValue)) {
            engine.Log(fmt::format(fmt::runtime(LineFormat(width)), regions.newBase + position,
                                   NameAt(recordNames, record), NameAt(layout.fieldNames, offset), ReadValue(newValue),
                                   ReadValue(oldValue)));
            std::ranges::copy(oldValue, newValue.begin());
        }
        position += width;
    }
}

} // namespace dovra
