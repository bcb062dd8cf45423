#include "locate/table_locator.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <system_error>
#include <thread>

#include "locate/all_tables_search.h"
#include "locate/image_alignment.h"
#include "locate/pointer_moves.h"
#include "locate/similarity.h"
#include "locate/table_search.h"

namespace dovra {
namespace {

using detail::AnchorPair;
using detail::FillerBytes;
using detail::ImageAlignment;
using detail::Neighbourhood;

// Anchors further than this from a table say nothing about it: between them the image may have changed.
constexpr std::uint32_t kReach = 256u << 10;
// A single match is unexpected only when it is further than this (or the table's size) from the prediction;
// nearer, it moved inside its own region.
constexpr std::uint32_t kUnexpectedDistance = 4096;
// Below this many tables a second thread to place them costs more than it saves.
constexpr std::size_t kTablesPerThread = 64;

bool HoldsAt(std::span<const std::uint8_t> image, std::span<const std::uint8_t> table, std::int64_t offset) {
    return offset >= 0 && static_cast<std::uint64_t>(offset) + table.size() <= image.size() &&
           std::memcmp(image.data() + offset, table.data(), table.size()) == 0;
}

// Where the stretch of filler that ends at `to` (exclusive) begins, looking no lower than `lowest`; zeros,
// the usual filler, eight at a time.
std::uint64_t FillerStart(std::span<const std::uint8_t> image, std::uint64_t to, std::uint64_t lowest,
                          const FillerBytes& filler) {
    const bool zeros = filler.IsFiller(0);
    while (to > lowest) {
        if (zeros && to >= lowest + 8) {
            std::uint64_t word;
            std::memcpy(&word, image.data() + to - 8, sizeof word);
            if (word == 0) {
                to -= 8;
                continue;
            }
        }
        if (!filler.IsFiller(image[to - 1])) {
            break;
        }
        --to;
    }
    return to;
}

// Where the stretch of filler that begins at `from` ends, looking no higher than `highest`.
std::uint64_t FillerEnd(std::span<const std::uint8_t> image, std::uint64_t from, std::uint64_t highest,
                        const FillerBytes& filler) {
    const bool zeros = filler.IsFiller(0);
    while (from < highest) {
        if (zeros && from + 8 <= highest) {
            std::uint64_t word;
            std::memcpy(&word, image.data() + from, sizeof word);
            if (word == 0) {
                from += 8;
                continue;
            }
        }
        if (!filler.IsFiller(image[from])) {
            break;
        }
        ++from;
    }
    return from;
}

// Whether the old bytes from `from` to `to` stand unchanged in the new image, moved by `shift`: equal, but
// for pointers that moved with what they point to (the data around a table holds pointers, and they change
// whenever the code grows, without the data moving).
bool Unchanged(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage, std::uint64_t from,
               std::uint64_t to, std::int64_t shift, const detail::PointerMoves& moves) {
    const std::int64_t newFrom = static_cast<std::int64_t>(from) + shift;
    return to <= oldImage.size() && newFrom >= 0 &&
           static_cast<std::uint64_t>(newFrom) + (to - from) <= newImage.size() &&
           detail::EqualButMovedPointers(oldImage.subspan(from, to - from), from, newImage.data() + newFrom, moves);
}

// Where the neighbourhood puts the table: where one side's anchor and everything from it up to the far end
// of the table stand unchanged (an edit, if any, is on the other side of the table); where both sides moved
// it by one distance; nowhere when the sides disagree and the bytes cannot tell which one the table went
// with. A table of nothing but filler (zeros, say) has no place of its own inside a stretch of the same
// filler: an edit in that stretch moves it or not, and the bytes cannot tell. Such a table is placed by the
// whole stretch, which must stand unchanged together with the byte that ends it on the far side.
std::optional<std::uint32_t> Predicted(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                                       const TableRegion& table, const Neighbourhood& around, const FillerBytes& filler,
                                       bool allFiller, const detail::PointerMoves& moves) {
    const std::uint64_t end = std::uint64_t{table.address} + table.size;
    const std::uint64_t beforeFrom = table.address - std::uint64_t{around.distanceBefore} - detail::kAnchorLength;
    const std::uint64_t afterTo = end + around.distanceAfter + detail::kAnchorLength;
    std::uint64_t beforeTo = end;
    std::uint64_t afterFrom = table.address;
    bool beforeBounded = true;
    bool afterBounded = true;
    if (allFiller) {
        // The stretch may run on past an anchor (a table found once may begin with zeros), but no further
        // than kReach: a stretch of filler without an end in reach places nothing.
        const std::uint64_t lowest = table.address > kReach ? table.address - kReach : 0;
        const std::uint64_t highest = std::min<std::uint64_t>(oldImage.size(), end + kReach);
        const std::uint64_t from = FillerStart(oldImage, table.address, lowest, filler);
        const std::uint64_t to = FillerEnd(oldImage, end, highest, filler);
        beforeBounded = to < highest;
        afterBounded = from > lowest && from > 0;
        beforeTo = std::max(to + 1, end);
        afterFrom = from > 0 ? from - 1 : 0;
    }
    const bool before = around.shiftBefore && beforeBounded &&
                        Unchanged(oldImage, newImage, beforeFrom, beforeTo, *around.shiftBefore, moves);
    const bool after = around.shiftAfter && afterBounded &&
                       Unchanged(oldImage, newImage, afterFrom, afterTo, *around.shiftAfter, moves);
    const bool agree = around.shiftBefore && around.shiftAfter && *around.shiftBefore == *around.shiftAfter;
    std::optional<std::int64_t> shift;
    if (before && after) {
        if (!agree) {
            return std::nullopt;
        }
        shift = around.shiftBefore;
    } else if (before || after) {
        shift = before ? around.shiftBefore : around.shiftAfter;
    } else if (agree && !allFiller) {
        // The table itself changed, or bytes were inserted and as many deleted between the anchors.
        shift = around.shiftBefore;
    } else {
        return std::nullopt;
    }
    const std::int64_t place = std::int64_t{table.address} + *shift;
    if (place < 0 || static_cast<std::uint64_t>(place) + table.size > newImage.size()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(place);
}

// How far from where the nearest anchor puts it the bytes next to a table are looked for.
constexpr std::int64_t kSideWindow = 32 << 10;
// Filler next to a table is skipped for at most this many bytes to reach the bytes that bound it.
constexpr std::uint64_t kFillerLimit = 64 << 10;
// Bytes of a side's gram that must be other than filler for it to be looked for.
constexpr std::uint32_t kSideInformative = 4;

// The distance the bytes bounding one side of a table moved: the gram at `gramStart` (old offset), found
// exactly once within kSideWindow of where `estimate` puts it.
// The distance the `length` bytes at `gramStart` (old offset) moved: found exactly once within kSideWindow
// of where `estimate` puts them. `several` tells that they stand there more than once, or hold too few bytes
// other than filler to be looked for, so that longer bytes on the same side may still tell.
std::optional<std::int64_t> SideShift(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                                      std::uint64_t gramStart, std::uint64_t length, std::int64_t estimate,
                                      const FillerBytes& filler, bool& several) {
    several = false;
    if (gramStart + length > oldImage.size()) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> gram = oldImage.subspan(gramStart, length);
    if (detail::InformativeBytes(gram, filler) < kSideInformative) {
        several = true; // mostly filler: longer bytes of the same side may hold enough
        return std::nullopt;
    }
    const std::int64_t centre = static_cast<std::int64_t>(gramStart) + estimate;
    const std::int64_t from = std::max<std::int64_t>(0, centre - kSideWindow);
    const std::int64_t to = std::min<std::int64_t>(static_cast<std::int64_t>(newImage.size()),
                                                   centre + kSideWindow + static_cast<std::int64_t>(length));
    if (from >= to) {
        return std::nullopt;
    }
    const auto first = newImage.begin() + from;
    const auto last = newImage.begin() + to;
    const std::boyer_moore_horspool_searcher searcher(gram.begin(), gram.end());
    const auto found = std::search(first, last, searcher);
    if (found == last) {
        return std::nullopt;
    }
    if (std::search(found + 1, last, searcher) != last) {
        several = true;
        return std::nullopt;
    }
    return (found - newImage.begin()) - static_cast<std::int64_t>(gramStart);
}

// The bytes that bound a side are looked for at these lengths in turn, as long as the shorter stand
// several times near the estimate (strings, records repeated next to the table) or are mostly filler.
constexpr std::array<std::uint64_t, 3> kSideLengths = {detail::kAnchorLength, 64, 256};

struct SideGram {
    std::int64_t shift = 0;
    std::uint64_t length = 0;
};

// The bytes bounding one side: `before`, they end at `edge`; else they begin there.
std::optional<SideGram> SideBytes(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                                  std::uint64_t edge, bool before, std::int64_t estimate, const FillerBytes& filler) {
    for (std::uint64_t length : kSideLengths) {
        if (before && edge < length) {
            return std::nullopt;
        }
        bool several = false;
        const std::uint64_t start = before ? edge - length : edge;
        if (const auto shift = SideShift(oldImage, newImage, start, length, estimate, filler, several)) {
            return SideGram{*shift, length};
        }
        if (!several) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Where the bytes right next to the table put it, when the anchors are too far to say: the nearest bytes
// other than filler on each side, looked for near where the anchors put them. A side counts when it, the
// filler between and (for a table found exactly) the table itself stand unchanged with it; a changed
// table, or one of nothing but filler, is placed only where both sides agree.
struct Sides {
    std::optional<std::int64_t> before;
    std::optional<std::int64_t> after;
    // For a table of nothing but filler: the side alone places it, as the table touches that side's bytes,
    // or the whole stretch of filler up to the byte that ends it on the other side stands unchanged with
    // it. Otherwise the stretch may have grown or shrunk on either side of the table.
    bool beforeAlone = false;
    bool afterAlone = false;
};

// Bytes past the far end of a stretch of filler that tell whether an edit reached it.
constexpr std::uint64_t kFarEndBytes = 4;
// Filler between a table and the bytes it stays with: the padding that aligns a table. Any more, and an
// edit inside it would move the table with the far side.
constexpr std::uint64_t kNearPadding = 3;

// A table of filler in a stretch of filler [from, to) that moved by `shift` with the bytes on one side
// (`fromBefore`: the bytes before the stretch), the stretch standing unchanged from those bytes up to the
// table's far end: whether the table's place follows. It does when the stretch kept its length (the table
// keeps its place in it), or when the table touches that side and the bytes that end the stretch on the
// far side were edited (the edit that made the stretch longer or shorter lies there, and the table stayed
// with the bytes it touches). Where those bytes stand unchanged at the stretch's new end, the filler
// itself grew or shrank, next to the table or not, and the bytes cannot tell. Nor can they where filler
// dominates the image: a second edit, of filler alone, between the table and the bytes it touches would
// look the same as none.
bool StretchPlaces(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                   const TableRegion& table, const FillerBytes& filler, std::uint64_t from, std::uint64_t to,
                   std::int64_t shift, bool fromBefore) {
    const std::int64_t place = std::int64_t{table.address} + shift;
    const std::uint64_t end = std::uint64_t{table.address} + table.size;
    if (place < 0 || static_cast<std::uint64_t>(place) + table.size > newImage.size()) {
        return false;
    }
    const auto newPlace = static_cast<std::uint64_t>(place);
    if (fromBefore) {
        const std::uint64_t highest = std::min<std::uint64_t>(newImage.size(), newPlace + table.size + kFillerLimit);
        const std::uint64_t newTo = FillerEnd(newImage, newPlace + table.size, highest, filler);
        if (newTo == highest) {
            return false;
        }
        if (newTo - (newPlace + table.size) == to - end) {
            return true;
        }
        if (filler.Dominates() || table.address - from > kNearPadding || to + kFarEndBytes > oldImage.size()) {
            return false;
        }
        return newTo + kFarEndBytes > newImage.size() ||
               std::memcmp(oldImage.data() + to, newImage.data() + newTo, kFarEndBytes) != 0;
    }
    const std::uint64_t lowest = newPlace > kFillerLimit ? newPlace - kFillerLimit : 0;
    const std::uint64_t newFrom = FillerStart(newImage, newPlace, lowest, filler);
    if (newFrom == lowest && newFrom != 0) {
        return false;
    }
    if (newPlace - newFrom == table.address - from) {
        return true;
    }
    if (filler.Dominates() || to - end > kNearPadding || from < kFarEndBytes) {
        return false;
    }
    return newFrom < kFarEndBytes || std::memcmp(oldImage.data() + from - kFarEndBytes,
                                                 newImage.data() + newFrom - kFarEndBytes, kFarEndBytes) != 0;
}

Sides SideShifts(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                 const TableRegion& table, const Neighbourhood& around, const FillerBytes& filler, bool exact,
                 const detail::PointerMoves& moves) {
    Sides sides;
    if (!around.shiftBefore && !around.shiftAfter) {
        return sides;
    }
    const std::int64_t estimateBefore = around.shiftBefore ? *around.shiftBefore : *around.shiftAfter;
    const std::int64_t estimateAfter = around.shiftAfter ? *around.shiftAfter : *around.shiftBefore;
    const std::uint64_t end = std::uint64_t{table.address} + table.size;
    const std::uint64_t lowest = table.address > kFillerLimit ? table.address - kFillerLimit : 0;
    const std::uint64_t from = FillerStart(oldImage, table.address, lowest, filler);
    const std::uint64_t highest = std::min<std::uint64_t>(oldImage.size(), end + kFillerLimit);
    const std::uint64_t to = FillerEnd(oldImage, end, highest, filler);
    if (from >= detail::kAnchorLength && (from == 0 || !filler.IsFiller(oldImage[from - 1]))) {
        const auto side = SideBytes(oldImage, newImage, from, true, estimateBefore, filler);
        const std::uint64_t gram = side ? from - side->length : 0;
        if (side && Unchanged(oldImage, newImage, gram, exact ? end : table.address, side->shift, moves)) {
            sides.before = side->shift;
            sides.beforeAlone =
                exact && (Unchanged(oldImage, newImage, gram, to + 1, side->shift, moves) ||
                          StretchPlaces(oldImage, newImage, table, filler, from, to, side->shift, true));
        }
    }
    if (to < highest) {
        const auto side = SideBytes(oldImage, newImage, to, false, estimateAfter, filler);
        if (side && Unchanged(oldImage, newImage, exact ? table.address : end, to + side->length, side->shift, moves)) {
            sides.after = side->shift;
            sides.afterAlone =
                exact &&
                ((from > 0 && Unchanged(oldImage, newImage, from - 1, to + side->length, side->shift, moves)) ||
                 StretchPlaces(oldImage, newImage, table, filler, from, to, side->shift, false));
        }
    }
    return sides;
}

std::optional<std::uint32_t> PlaceBySides(const Sides& sides, const TableRegion& table, std::uint64_t newSize,
                                          bool exact, bool allFiller) {
    std::optional<std::int64_t> shift;
    if (sides.before && sides.after) {
        if (*sides.before != *sides.after) {
            return std::nullopt;
        }
        shift = sides.before;
    } else if (exact && !allFiller && (sides.before || sides.after)) {
        shift = sides.before ? sides.before : sides.after;
    } else if (exact && allFiller && (sides.beforeAlone || sides.afterAlone)) {
        shift = sides.beforeAlone ? sides.before : sides.after;
    } else {
        return std::nullopt;
    }
    const std::int64_t place = std::int64_t{table.address} + *shift;
    if (place < 0 || static_cast<std::uint64_t>(place) + table.size > newSize) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(place);
}

// Where the anchors nearest to the table, however far, put it when the only match lies outside the stretch
// between them: the table would have moved across bytes that kept their order, which a table kept with its
// neighbourhood does not do (a removed table's bytes standing elsewhere by chance do). The place given is
// the one the nearer anchor's move gives.
std::optional<std::uint32_t> OutOfOrder(const ImageAlignment& alignment, const TableRegion& table, std::uint32_t match,
                                        std::uint64_t newSize) {
    const Neighbourhood bounds = alignment.Around(table.address, table.size, UINT32_MAX);
    const std::int64_t address = table.address;
    const std::int64_t end = address + table.size;
    const std::int64_t lowest = bounds.shiftBefore ? address - bounds.distanceBefore + *bounds.shiftBefore : 0;
    const std::int64_t highest = bounds.shiftAfter ? end + bounds.distanceAfter + *bounds.shiftAfter - table.size
                                                   : static_cast<std::int64_t>(newSize) - table.size;
    if (!bounds.shiftBefore && !bounds.shiftAfter) {
        return std::nullopt;
    }
    if (match >= lowest && match <= highest) {
        return std::nullopt;
    }
    const bool nearerBefore =
        bounds.shiftBefore && (!bounds.shiftAfter || bounds.distanceBefore <= bounds.distanceAfter);
    const std::int64_t place = address + (nearerBefore ? *bounds.shiftBefore : *bounds.shiftAfter);
    if (place < 0 || place + table.size > static_cast<std::int64_t>(newSize)) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(place);
}

// Whether the bytes on one side of the table (`before`, or after it) stand next to `match` too, up to
// kSideInformative bytes other than filler.
bool NeighbourAgrees(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                     const TableRegion& table, std::uint32_t match, const FillerBytes& filler, bool before) {
    std::uint32_t informative = 0;
    for (std::uint64_t k = 1; informative < kSideInformative && k <= kFillerLimit; ++k) {
        std::uint64_t oldAt = 0;
        std::uint64_t newAt = 0;
        if (before) {
            if (k > table.address || k > match) {
                return false;
            }
            oldAt = table.address - k;
            newAt = match - k;
        } else {
            oldAt = std::uint64_t{table.address} + table.size + k - 1;
            newAt = std::uint64_t{match} + table.size + k - 1;
            if (oldAt >= oldImage.size() || newAt >= newImage.size()) {
                return false;
            }
        }
        if (oldImage[oldAt] != newImage[newAt]) {
            return false;
        }
        informative += filler.IsFiller(oldImage[oldAt]) ? 0 : 1;
    }
    return informative >= kSideInformative;
}

// The anchors either side of a table kept their order, and a table kept with its neighbourhood stays
// between them: with several matches in the image and no place the bytes next to it give, the matches
// between the two anchors tell. Searched only where they are near: no further apart than sixteen times the
// image's bytes per table, so that all tables together search each image no more than about sixteen times
// (each search linear, most of them at memchr's pace), and within these bounds.
constexpr std::uint64_t kLeastBetween = 64 << 10;
constexpr std::uint64_t kMostBetween = 256 << 10;

std::uint64_t BetweenLimit(std::uint64_t newSize, std::size_t tableCount) {
    return std::clamp<std::uint64_t>(newSize * 16 / std::max<std::size_t>(tableCount, 1), kLeastBetween, kMostBetween);
}

// Where the table must stand in the new image, between where its two anchors stand now; nothing when an
// anchor is missing or they are further apart than `limit` beyond the table.
struct Stretch {
    std::uint64_t from = 0;
    std::uint64_t to = 0;
};

std::optional<Stretch> BetweenAnchors(std::uint64_t newSize, const TableRegion& table, const Neighbourhood& around,
                                      std::uint64_t limit) {
    if (!around.shiftBefore || !around.shiftAfter) {
        return std::nullopt;
    }
    const std::int64_t from = std::int64_t{table.address} - around.distanceBefore + *around.shiftBefore;
    const std::int64_t to = std::int64_t{table.address} + table.size + around.distanceAfter + *around.shiftAfter;
    if (from < 0 || to > static_cast<std::int64_t>(newSize) || to - from < std::int64_t{table.size} ||
        static_cast<std::uint64_t>(to - from) > limit + table.size) {
        return std::nullopt;
    }
    return Stretch{static_cast<std::uint64_t>(from), static_cast<std::uint64_t>(to)};
}

// Tables whose bytes stand several times between the anchors are placed by their rank among them, up to
// this many.
constexpr std::size_t kMostRanked = 8;
// Bytes other than filler that a table needs for its matches to be copies, not chance, as for a side's
// bytes: with fewer (zeros and a marker, say) an edit between the anchors may have made one (a new run of
// zeros before the same marker value). Such a table's match is taken only where it is rare (one in
// kChanceShare: the share of the image between the anchors times the number of matches; never where filler
// dominates the image, as edits there make such matches often) or where the old bytes next to it on one
// side stand next to it still.
constexpr std::uint32_t kRankInformative = 4;
constexpr std::uint64_t kChanceShare = 100;

// Where the table's bytes match in `image` from `from` to `to`, up to kMostRanked + 1 places; nothing when
// two of them overlap: a table with a period of its own matches at every period of a run of it, and how
// many places match then depends on the run's length, which an edit changes.
std::optional<std::vector<std::uint64_t>> MatchesIn(std::span<const std::uint8_t> image, std::uint64_t from,
                                                    std::uint64_t to, std::span<const std::uint8_t> bytes) {
    std::vector<std::uint64_t> matches;
    std::uint64_t at = from;
    while (matches.size() <= kMostRanked && at + bytes.size() <= to) {
        const std::optional<std::uint32_t> found = FindLowestOffset(image.subspan(at, to - at), bytes);
        if (!found) {
            break;
        }
        const std::uint64_t match = at + *found;
        if (!matches.empty() && match < matches.back() + bytes.size()) {
            return std::nullopt;
        }
        matches.push_back(match);
        at = match + 1;
    }
    return matches;
}

// The anchors either side of a table kept their order, and so did everything between them that the update
// did not touch: when the table's bytes stand as many times between the anchors in the new image as in the
// old, the table is the one of the same rank among them.
std::optional<std::uint32_t> SameRankBetweenAnchors(std::span<const std::uint8_t> oldImage,
                                                    std::span<const std::uint8_t> newImage,
                                                    std::span<const std::uint8_t> bytes, const TableRegion& table,
                                                    const Neighbourhood& around, std::uint32_t matchCount,
                                                    std::uint64_t limit, const FillerBytes& filler) {
    const std::optional<Stretch> stretch = BetweenAnchors(newImage.size(), table, around, limit);
    if (!stretch) {
        return std::nullopt;
    }
    const auto [from, to] = *stretch;
    const std::uint64_t oldFrom = table.address - std::uint64_t{around.distanceBefore};
    const std::uint64_t oldTo = std::uint64_t{table.address} + table.size + around.distanceAfter;
    if (oldTo - oldFrom > limit + table.size) {
        return std::nullopt;
    }
    // The new stretch first: most tables that reach here have no match or too many there, and then the old
    // stretch need not be searched.
    const auto newMatches = MatchesIn(newImage, from, to, bytes);
    if (!newMatches || newMatches->empty() || newMatches->size() > kMostRanked) {
        return std::nullopt;
    }
    const auto oldMatches = MatchesIn(oldImage, oldFrom, oldTo, bytes);
    if (!oldMatches || oldMatches->size() != newMatches->size()) {
        return std::nullopt;
    }
    const auto rank = std::find(oldMatches->begin(), oldMatches->end(), table.address) - oldMatches->begin();
    if (rank == static_cast<std::ptrdiff_t>(oldMatches->size())) {
        return std::nullopt;
    }
    const auto match = static_cast<std::uint32_t>((*newMatches)[static_cast<std::size_t>(rank)]);
    if (detail::InformativeBytes(bytes, filler) < kRankInformative) {
        const bool rare =
            !filler.Dominates() &&
            std::uint64_t{matchCount} * static_cast<std::uint64_t>(to - from) * kChanceShare <= newImage.size();
        if (!rare && !NeighbourAgrees(oldImage, newImage, table, match, filler, true) &&
            !NeighbourAgrees(oldImage, newImage, table, match, filler, false)) {
            return std::nullopt;
        }
    }
    return match;
}

// A table of one byte value repeated matches at every place of a long enough run of that value. Between
// the two anchors, when just one run is as long as the one around the table in the old image, the table
// stands where it stood in its run; a run whose length changed could have grown or shrunk on either side of
// the table, and the bytes cannot tell which.
std::optional<std::uint32_t> InTheOnlyRunBetweenAnchors(std::span<const std::uint8_t> oldImage,
                                                        std::span<const std::uint8_t> newImage,
                                                        const TableRegion& table, const Neighbourhood& around,
                                                        std::uint64_t limit, const FillerBytes& filler) {
    const std::optional<Stretch> stretch = BetweenAnchors(newImage.size(), table, around, limit);
    if (!stretch) {
        return std::nullopt;
    }
    const auto [from, to] = *stretch;
    const std::uint8_t value = oldImage[table.address];
    std::uint64_t oldFrom = table.address;
    while (oldFrom > 0 && oldImage[oldFrom - 1] == value) {
        --oldFrom;
    }
    std::uint64_t oldTo = std::uint64_t{table.address} + table.size;
    while (oldTo < oldImage.size() && oldImage[oldTo] == value) {
        ++oldTo;
    }
    std::optional<std::uint64_t> runStart;
    for (auto at = static_cast<std::uint64_t>(from); at < static_cast<std::uint64_t>(to);) {
        if (newImage[at] != value) {
            ++at;
            continue;
        }
        std::uint64_t start = at;
        while (start > 0 && newImage[start - 1] == value) {
            --start;
        }
        std::uint64_t end = at;
        while (end < newImage.size() && newImage[end] == value) {
            ++end;
        }
        if (end - start == oldTo - oldFrom) {
            if (runStart) {
                return std::nullopt;
            }
            runStart = start;
        }
        at = end;
    }
    // A run as long as the old one can be chance (a removed table of zeros, a short run of 0xFF): the bytes
    // that end it on one side at least must be the old ones.
    const TableRegion run{static_cast<std::uint32_t>(oldFrom), static_cast<std::uint32_t>(oldTo - oldFrom)};
    if (!runStart ||
        (!NeighbourAgrees(oldImage, newImage, run, static_cast<std::uint32_t>(*runStart), filler, true) &&
         !NeighbourAgrees(oldImage, newImage, run, static_cast<std::uint32_t>(*runStart), filler, false))) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*runStart + (table.address - oldFrom));
}

// With no prediction the table may have moved with either side, or on its own between two edits; then the
// unchanged parts of the table itself are anchors. The moves of the bytes next to the table come first:
// among places that agree equally, the earlier wins.
std::vector<std::int64_t> CandidateShifts(const TableRegion& table, const Neighbourhood& around,
                                          const ImageAlignment& alignment, const Sides& sides) {
    std::vector<std::int64_t> shifts;
    for (const auto& side : {sides.before, sides.after, around.shiftBefore, around.shiftAfter}) {
        if (side && std::find(shifts.begin(), shifts.end(), *side) == shifts.end()) {
            shifts.push_back(*side);
        }
    }
    for (std::int64_t inside : alignment.ShiftsInside(table.address, table.size)) {
        if (std::find(shifts.begin(), shifts.end(), inside) == shifts.end()) {
            shifts.push_back(inside);
        }
    }
    return shifts;
}

// The best agreement `score` (a place's SimilarMatch, if any) finds at the predicted place, or else at the
// places the shifts give; `best` is one found before, which a place must beat.
template <typename Score>
std::optional<SimilarMatch> BestPlace(const TableRegion& table, const std::optional<std::uint32_t>& predicted,
                                      const std::vector<std::int64_t>& shifts, const Score& score,
                                      std::optional<SimilarMatch> best = std::nullopt) {
    if (predicted) {
        return score(std::int64_t{*predicted});
    }
    for (std::int64_t shift : shifts) {
        const std::optional<SimilarMatch> found = score(std::int64_t{table.address} + shift);
        if (found && (!best || found->percent > best->percent)) {
            best = found;
        }
    }
    return best;
}

// A changed table too small for the similarity (fewer than its minimum of informative bytes) at the place
// where both sides of it agree it stands: the bytes only confirm what the neighbourhood says, so a few
// informative bytes, most of them equal, are enough. Anywhere else so few bytes could agree by chance.
constexpr std::uint32_t kSmallInformative = 4;

std::optional<SimilarMatch> SmallTableAt(std::span<const std::uint8_t> newImage, std::span<const std::uint8_t> bytes,
                                         std::uint32_t place, const FillerBytes& filler) {
    if (std::uint64_t{place} + bytes.size() > newImage.size()) {
        return std::nullopt;
    }
    std::uint32_t informative = 0;
    std::uint32_t equal = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!filler.IsFiller(bytes[i])) {
            ++informative;
            equal += bytes[i] == newImage[place + i] ? 1 : 0;
        }
    }
    if (informative < kSmallInformative || informative >= detail::kMinimumInformative ||
        equal * 100 < informative * detail::kSimilarPercent) {
        return std::nullopt;
    }
    return SimilarMatch{place, std::min<std::uint32_t>(equal * 100 / informative, 99)};
}

// Pointers point into tables, and a table can move alone between two edits, where no anchor of the
// alignment is: once every table has its place, the distances the tables moved are region moves too.
detail::PointerMoves MovesWithPlacedTables(const ImageAlignment& alignment, std::vector<AnchorPair> known,
                                           std::span<const TableRegion> tables,
                                           const std::vector<TableLocation>& locations) {
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const TableLocation& location = locations[i];
        const std::optional<std::uint32_t> placed = location.matchCount == 1 ? location.lowestMatch
                                                    : location.alignedMatch  ? location.alignedMatch
                                                    : location.similar       ? std::optional(location.similar->offset)
                                                                             : std::nullopt;
        if (placed) {
            known.push_back({tables[i].address, *placed});
        }
    }
    return detail::PointerMoves(alignment, known);
}

// A table of pointers not placed on the first try, tried again with the moves of every placed table.
void RetryMovedPointers(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                        std::span<const TableRegion> tables, const detail::PointerMoves& moves,
                        const FillerBytes& filler, const std::vector<std::vector<std::int64_t>>& retry,
                        std::vector<TableLocation>& locations) {
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const auto bytes = oldImage.subspan(tables[i].address, tables[i].size);
        locations[i].similar = BestPlace(
            tables[i], std::nullopt, retry[i],
            [&](std::int64_t place) { return detail::MovedPointersAt(bytes, newImage, place, moves, filler); },
            locations[i].similar);
    }
}

// A similar place whose changed pointers all moved by distances no region of the image moved is not the
// table moved with what it points to: pointers to consecutive records, a few records off, agree with one
// shared amount as well as the true place's do. No place is better than that one.
void DropUnmovedPointers(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                         std::span<const TableRegion> tables, const detail::PointerMoves& moves,
                         std::vector<TableLocation>& locations) {
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (locations[i].similar && detail::PointersMovedNowhere(oldImage.subspan(tables[i].address, tables[i].size),
                                                                 newImage, locations[i].similar->offset, moves)) {
            locations[i].similar.reset();
        }
    }
}

} // namespace

std::vector<TableLocation> FindTables(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                                      std::span<const TableRegion> tables) {
    std::vector<std::span<const std::uint8_t>> needles;
    needles.reserve(tables.size());
    for (const TableRegion& table : tables) {
        needles.push_back(oldImage.subspan(table.address, table.size));
    }
    // One scan that lets no table end at its first match gives both the lowest match and the count.
    const detail::FoundAndCounted found = detail::FindAndCountMatches(newImage, needles, kMatchCountCap);
    const std::vector<std::optional<std::uint32_t>>& lowest = found.lowest;
    const std::vector<std::uint32_t>& counts = found.counts;
    std::vector<AnchorPair> known;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (counts[i] == 1 && tables[i].size >= detail::kAnchorLength) {
            known.push_back({tables[i].address, *lowest[i]});
        }
    }
    // One pass over the new image's bytes for both the alignment's sampled bytes and the filler values.
    const detail::ByteProfile profile = detail::ProfileBytes(newImage, detail::kFillerProfileStride);
    const ImageAlignment alignment(oldImage, newImage, known, 0, &profile);
    const FillerBytes filler(profile);
    const detail::PointerMoves moves(alignment, known);
    const std::uint64_t between = BetweenLimit(newImage.size(), tables.size());
    std::vector<TableLocation> locations(tables.size());
    // Tables not found, with the moves their place may have: tried again once every table is placed.
    std::vector<std::vector<std::int64_t>> retry(tables.size());
    const auto place = [&](std::size_t i) {
        TableLocation& location = locations[i];
        location.lowestMatch = lowest[i];
        location.matchCount = counts[i];
        const Neighbourhood around = alignment.Around(tables[i].address, tables[i].size, kReach);
        // Tables run to megabytes: the first byte other than filler settles it.
        const bool allFiller =
            std::all_of(needles[i].begin(), needles[i].end(), [&](std::uint8_t byte) { return filler.IsFiller(byte); });
        location.predicted = Predicted(oldImage, newImage, tables[i], around, filler, allFiller, moves);
        Sides sides;
        if (!location.predicted) {
            sides = SideShifts(oldImage, newImage, tables[i], around, filler, counts[i] > 0, moves);
            location.predicted = PlaceBySides(sides, tables[i], newImage.size(), counts[i] > 0, allFiller);
        }
        if (counts[i] > 1) {
            if (location.predicted && HoldsAt(newImage, needles[i], *location.predicted)) {
                location.alignedMatch = location.predicted;
            } else if (!location.predicted) {
                const bool oneValue = std::all_of(needles[i].begin(), needles[i].end(),
                                                  [&](std::uint8_t byte) { return byte == needles[i][0]; });
                location.alignedMatch =
                    oneValue ? InTheOnlyRunBetweenAnchors(oldImage, newImage, tables[i], around, between, filler)
                             : SameRankBetweenAnchors(oldImage, newImage, needles[i], tables[i], around, counts[i],
                                                      between, filler);
            }
        } else if (counts[i] == 1 && location.predicted) {
            const std::uint64_t distance =
                *lowest[i] > *location.predicted ? *lowest[i] - *location.predicted : *location.predicted - *lowest[i];
            location.unexpectedPlace = distance > std::max(kUnexpectedDistance, tables[i].size);
        } else if (counts[i] == 1) {
            location.predicted = OutOfOrder(alignment, tables[i], *lowest[i], newImage.size());
            location.unexpectedPlace = location.predicted.has_value();
        } else if (counts[i] == 0) {
            const std::vector<std::int64_t> shifts =
                location.predicted ? std::vector<std::int64_t>{} : CandidateShifts(tables[i], around, alignment, sides);
            location.similar = BestPlace(tables[i], location.predicted, shifts, [&](std::int64_t place) {
                return detail::FindSimilar(needles[i], newImage, place, filler);
            });
            // A table of a few pointers whose words all moved with what they point to, at the place itself
            // (no window: pointers change, the table does not move inside its region for that).
            if (!location.similar) {
                location.similar = BestPlace(tables[i], location.predicted, shifts, [&](std::int64_t place) {
                    return detail::MovedPointersAt(needles[i], newImage, place, moves, filler);
                });
            }
            if (!location.similar && location.predicted) {
                location.similar = SmallTableAt(newImage, needles[i], *location.predicted, filler);
            }
            if (!location.similar) {
                retry[i] =
                    location.predicted
                        ? std::vector<std::int64_t>{std::int64_t{*location.predicted} - std::int64_t{tables[i].address}}
                        : shifts;
            }
        }
    };
    // Each table is placed on its own from shared read-only data, so two threads give the same answer as
    // one; they take the next table as they finish, as a few changed tables cost more than all the rest.
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < tables.size(); i = next++) {
            place(i);
        }
    };
    bool split = false;
    if (std::thread::hardware_concurrency() != 1 && tables.size() >= kTablesPerThread * 2) {
        try {
            std::thread helper(work);
            work();
            helper.join();
            split = true;
        } catch (const std::system_error&) {
            split = false; // no thread to be had: this one places what is left
        }
    }
    if (!split) {
        work();
    }
    // Only tables not found exactly need the moves of the placed ones.
    if (std::any_of(counts.begin(), counts.end(), [](std::uint32_t count) { return count == 0; })) {
        const detail::PointerMoves placedMoves = MovesWithPlacedTables(alignment, std::move(known), tables, locations);
        RetryMovedPointers(oldImage, newImage, tables, placedMoves, filler, retry, locations);
        DropUnmovedPointers(oldImage, newImage, tables, placedMoves, locations);
    }
    return locations;
}

} // namespace dovra
