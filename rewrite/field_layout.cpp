#include "rewrite/field_layout.h"

#include <algorithm>

#include <fmt/format.h>

#include "engine/texts.h"

namespace dovra {

std::uint32_t FieldWidthAt(const DefinitionTable& layout, std::uint32_t recordSize, std::uint32_t position,
                           std::uint32_t regionSize) {
    const std::uint32_t offset = position % recordSize;
    std::uint32_t width = 1;
    if (offset < layout.entries.size()) {
        // Only the exact texts mark wider fields: "04" or "4 " are 1-byte widths.
        const std::string_view text = layout.entries.WidthTextAt(offset);
        width = text == "4" ? 4 : text == "2" ? 2 : 1;
    }
    return width > regionSize - position ? 1 : width;
}

std::uint32_t LittleEndianValue(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        value |= std::uint32_t{bytes[i]} << (8 * i);
    }
    return value;
}

std::string_view NameAt(const RecordNameList& names, std::uint32_t index) {
    return index < names.size() ? names[index] : std::string_view();
}

const std::string& NameAt(const std::map<std::uint32_t, std::string>& names, std::uint32_t offset) {
    static const std::string kNone;
    auto found = names.find(offset);
    return found != names.end() ? found->second : kNone;
}

std::uint32_t WalkedRecordSize(std::uint32_t oldRecordSize, const DefinitionTable& layout) {
    // A table with data always has a record size of at least 1; the guard only keeps a division by zero out.
    return std::max<std::uint32_t>(layout.recordSize != 0 ? layout.recordSize : oldRecordSize, 1);
}

std::uint32_t TellWalkedRecordSize(const CDefinitionUpdater& engine, std::uint32_t oldRecordSize,
                                   const DefinitionTable& layout) {
    const std::uint32_t walked = WalkedRecordSize(oldRecordSize, layout);
    if (walked != std::max<std::uint32_t>(oldRecordSize, 1)) {
        engine.Log(fmt::format(fmt::runtime(text::kRecordSizeChanged), oldRecordSize, walked));
    }
    return walked;
}

} // namespace dovra
