#include "rewrite/three_way_walk.h"

#include <algorithm>
#include <cstring>

#include <fmt/format.h>

#include "engine/texts.h"
#include "rewrite/field_layout.h"

namespace dovra {
namespace {

const char* TakenLineFormat(std::uint32_t width) {
    return width == 4 ? text::kFieldLine4 : width == 2 ? text::kFieldLine2 : text::kFieldLine1;
}

const char* ConflictLineFormat(std::uint32_t width) {
    return width == 4 ? text::kConflictLine4 : width == 2 ? text::kConflictLine2 : text::kConflictLine1;
}

bool Equal(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second) {
    return std::memcmp(first.data(), second.data(), first.size()) == 0;
}

} // namespace

FieldMerge MergeField(std::span<const std::uint8_t> base, std::span<const std::uint8_t> user,
                      std::span<const std::uint8_t> now) {
    if (Equal(user, base)) {
        return FieldMerge::kUntouched;
    }
    if (Equal(now, base)) {
        return FieldMerge::kTakeUser;
    }
    return Equal(now, user) ? FieldMerge::kSameChange : FieldMerge::kConflict;
}

MergeCounts MergeFields(const CDefinitionUpdater& engine, const ThreeWayRegions& regions, std::uint32_t recordSize,
                        const DefinitionTable& layout, const RecordNameList& recordNames) {
    recordSize = TellWalkedRecordSize(engine, recordSize, layout);
    const auto size = static_cast<std::uint32_t>(regions.userBytes.size());
    MergeCounts counts;
    std::uint32_t position = 0;
    while (position < size) {
        const std::uint32_t width = FieldWidthAt(layout, recordSize, position, size);
        auto base = regions.baseBytes.subspan(position, width);
        auto user = regions.userBytes.subspan(position, width);
        auto now = regions.newBytes.subspan(position, width);
        const FieldMerge merge = MergeField(base, user, now);
        if (merge == FieldMerge::kTakeUser || merge == FieldMerge::kConflict) {
            const std::uint32_t address = regions.newBase + position;
            const std::string_view record = NameAt(recordNames, position / recordSize);
            const std::string& field = NameAt(layout.fieldNames, position % recordSize);
            if (merge == FieldMerge::kTakeUser) {
                engine.Log(fmt::format(fmt::runtime(TakenLineFormat(width)), address, record, field,
                                       LittleEndianValue(now), LittleEndianValue(user)));
            } else {
                engine.Log(fmt::format(fmt::runtime(ConflictLineFormat(width)), address, record, field,
                                       LittleEndianValue(now), LittleEndianValue(user), LittleEndianValue(base)));
                ++counts.conflicts;
            }
            std::ranges::copy(user, now.begin());
            ++counts.fieldsWritten;
        }
        position += width;
    }
    return counts;
}

std::uint32_t CountUserChangedBytes(std::span<const std::uint8_t> base, std::span<const std::uint8_t> user) {
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < user.size(); ++i) {
        count += user[i] != base[i] ? 1 : 0;
    }
    return count;
}

std::uint32_t CountFieldsToCarry(const ThreeWayRegions& regions, std::uint32_t recordSize,
                                 const DefinitionTable& layout) {
    recordSize = WalkedRecordSize(recordSize, layout);
    const auto size = static_cast<std::uint32_t>(regions.userBytes.size());
    std::uint32_t count = 0;
    std::uint32_t position = 0;
    while (position < size) {
        const std::uint32_t width = FieldWidthAt(layout, recordSize, position, size);
        const FieldMerge merge =
            MergeField(regions.baseBytes.subspan(position, width), regions.userBytes.subspan(position, width),
                       regions.newBytes.subspan(position, width));
        count += merge == FieldMerge::kTakeUser || merge == FieldMerge::kConflict ? 1 : 0;
        position += width;
    }
    return count;
}

} // namespace dovra
