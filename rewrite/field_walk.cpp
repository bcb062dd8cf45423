#include "rewrite/field_walk.h"

#include <algorithm>

#include <fmt/format.h>

#include "engine/texts.h"
#include "rewrite/field_layout.h"

namespace dovra {
namespace {

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

} // namespace

std::uint32_t RewriteFields(const CDefinitionUpdater& engine, const TableRegions& regions, std::uint32_t recordSize,
                            const DefinitionTable& layout, const RecordNameList& recordNames) {
    recordSize = TellWalkedRecordSize(engine, recordSize, layout);
    const auto size = static_cast<std::uint32_t>(regions.oldBytes.size());
    std::uint32_t written = 0;
    std::uint32_t position = 0;
    while (position < size) {
        const std::uint32_t width = FieldWidthAt(layout, recordSize, position, size);
        auto oldValue = regions.oldBytes.subspan(position, width);
        auto newValue = regions.newBytes.subspan(position, width);
        if (!std::ranges::equal(oldValue, newValue)) {
            engine.Log(fmt::format(fmt::runtime(LineFormat(width)), regions.newBase + position,
                                   NameAt(recordNames, position / recordSize),
                                   NameAt(layout.fieldNames, position % recordSize), LittleEndianValue(newValue),
                                   LittleEndianValue(oldValue)));
            std::ranges::copy(oldValue, newValue.begin());
            ++written;
        }
        position += width;
    }
    return written;
}

} // namespace dovra
