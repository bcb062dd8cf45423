#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "locate/image_alignment.h"
#include "locate/similarity.h"
#include "locate/table_locator.h"

// Pointers move with what they point to: when a region of the binary moves by some distance, every pointer
// into it changes by that distance. A table of a few pointers has too few bytes for the similarity's count
// of equal bytes and shared moves, but each of its changed words can be checked on its own against the
// distances the alignment saw regions move.
namespace dovra::detail {

class PointerMoves {
public:
    // The distances of the alignment's anchors and of `tables`, tables found once (pointers point into
    // tables, and a table can move alone between two edits, where no sampled anchor is).
    PointerMoves(const ImageAlignment& alignment, std::span<const AnchorPair> tables);

    // Whether some stretch of the old image moved by exactly `distance` (not zero).
    bool IsRegionMove(std::int64_t distance) const;

private:
    std::vector<std::int64_t> m_distances; // ascending, distinct, none zero
};

// The agreement of a table of pointers with the bytes at `place`, when every word that changed there is a
// pointer (at least 0x10000, old and new) that changed by a distance a region of the image moved, at least
// one word changed so, and the table's informative bytes (those equal or in such words) reach the
// similarity's threshold. The words are those of the table's own 4-byte grid.
std::optional<SimilarMatch> MovedPointersAt(std::span<const std::uint8_t> table, std::span<const std::uint8_t> newImage,
                                            std::int64_t place, const PointerMoves& moves, const FillerBytes& filler);

// Whether `oldBytes` (at `oldOffset` in the old image) stand at `newBytes` unchanged but for pointers that
// moved with what they point to: words at 4-byte boundaries of the old image that both look like pointers
// and changed by a distance a region moved. Bytes outside whole words must be equal.
bool EqualButMovedPointers(std::span<const std::uint8_t> oldBytes, std::uint64_t oldOffset,
                           const std::uint8_t* newBytes, const PointerMoves& moves);

// Whether at least kMinimumMovedPointers of the table's words changed at `place` as pointers do (both at
// least 0x10000) and not one of them by a distance a region moved.
bool PointersMovedNowhere(std::span<const std::uint8_t> table, std::span<const std::uint8_t> newImage,
                          std::uint32_t place, const PointerMoves& moves);

} // namespace dovra::detail
