#include "migration/table_placement.h"

#include <fmt/format.h>

#include "engine/texts.h"

namespace dovra {

namespace {

using fmt::runtime;

std::string MatchCountNote(std::uint32_t matchCount) {
    if (matchCount >= kMatchCountCap) {
        return fmt::format(runtime(text::kSameDataCountAtCap), kMatchCountCap);
    }
    return fmt::format(runtime(text::kSameDataCount), matchCount);
}

// Several matches: the lowest unless the neighbourhood points at another one and the user agreed to use it.
void PlaceAmongSeveral(const TableLocation& location, const PlacementAnswers& answers, TablePlacement& placement) {
    placement.notes.push_back(MatchCountNote(location.matchCount));
    if (!location.alignedMatch) {
        placement.notes.push_back(text::kPlaceUndecided);
        return;
    }
    if (*location.alignedMatch == *location.lowestMatch) {
        return;
    }
    if (answers.useAlignedMatches) {
        placement.found = location.alignedMatch;
        placement.address = location.alignedMatch;
        return;
    }
    // Declined: the lowest match is used although the neighbourhood says otherwise, so the block says where
    // the neighbourhood puts the table.
    placement.notes.push_back(
        fmt::format(runtime(text::kUnexpectedPlace), location.predicted.value_or(*location.alignedMatch)));
}

} // namespace

bool NeedsAlignedMatchAnswer(const TableLocation& location) {
    return location.matchCount > 1 && location.lowestMatch && location.alignedMatch &&
           *location.alignedMatch != *location.lowestMatch;
}

bool NeedsSimilarAnswer(const TableLocation& location) {
    return !location.lowestMatch && location.similar.has_value();
}

TablePlacement PlaceTable(const TableLocation& location, const PlacementAnswers& answers) {
    TablePlacement placement;
    if (!location.lowestMatch) {
        placement.similar = location.similar;
        if (location.similar && answers.useSimilar) {
            placement.address = location.similar->offset;
        }
        return placement;
    }
    placement.found = location.lowestMatch;
    placement.address = location.lowestMatch;
    if (location.matchCount > 1) {
        PlaceAmongSeveral(location, answers, placement);
    } else if (location.unexpectedPlace && location.predicted) {
        placement.notes.push_back(fmt::format(runtime(text::kUnexpectedPlace), *location.predicted));
    }
    return placement;
}

} // namespace dovra
