#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "locate/table_locator.h"

// Where the create command puts one table, from what the search says about it and the user's answers to
// the two questions asked once for all tables. Pure: the log block and the outcome record both come from it.
namespace dovra {

struct PlacementAnswers {
    bool useAlignedMatches = false; // several matches: the one agreeing with the neighbourhood over the lowest
    bool useSimilar = false;        // no exact match: write at the similar place
};

struct TablePlacement {
    // The exact match used, logged as the "found" line.
    std::optional<std::uint32_t> found;
    // A similar place, logged after the "not found" line, whether or not it is used.
    std::optional<SimilarMatch> similar;
    // Where the definition file is written; nullopt when nothing is written.
    std::optional<std::uint32_t> address;
    // ※ lines, logged after the found line (code page 932).
    std::vector<std::string> notes;
};

// The table has several matches and the lowest one disagrees with the neighbourhood.
bool NeedsAlignedMatchAnswer(const TableLocation& location);
// The table has no exact match but a similar place.
bool NeedsSimilarAnswer(const TableLocation& location);

TablePlacement PlaceTable(const TableLocation& location, const PlacementAnswers& answers);

} // namespace dovra
