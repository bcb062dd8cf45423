#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Where each table of an old binary stands in a new one, and how sure that is. The create command asks
// this once for all tables; everything behind it (the one-pass exact search, the alignment of the two
// images, the similarity of changed tables) is private to this folder.
namespace dovra {

// One table of the old image: `size` bytes from `address`, non-empty and inside the old image.
struct TableRegion {
    std::uint32_t address = 0;
    std::uint32_t size = 0;
};

// Exact matches are counted up to this many; a count of kMatchCountCap means "this many or more".
inline constexpr std::uint32_t kMatchCountCap = 100;

// A place where a changed table's bytes mostly agree with the old ones.
struct SimilarMatch {
    std::uint32_t offset = 0;
    std::uint32_t percent = 0; // agreement in percent, rounded down; never 100
};

struct TableLocation {
    // Offsets in the new image where every byte of the table matches, counted up to kMatchCountCap.
    std::uint32_t matchCount = 0;
    // The lowest of them (set exactly when matchCount > 0).
    std::optional<std::uint32_t> lowestMatch;
    // Where the neighbourhood puts the table, when the alignment of the two images is confident about it.
    // Also set with unexpectedPlace when the only match lies outside the stretch between the anchors nearest
    // to the table, however far they are: then the place the nearer anchor's move gives.
    std::optional<std::uint32_t> predicted;
    // With several exact matches: the one that agrees with the alignment; nullopt when the alignment cannot
    // tell them apart (no confident prediction, or no match where it points).
    std::optional<std::uint32_t> alignedMatch;
    // With exactly one exact match: true when a confident prediction puts the table somewhere else, or the
    // match lies across anchors that kept their order (predicted is then set too).
    bool unexpectedPlace = false;
    // With no exact match: the place near the prediction where the old bytes agree well enough, if any.
    std::optional<SimilarMatch> similar;
};

// One location per table, in the order of `tables`. Deterministic (the same whatever the number of
// threads) and linear in the images' sizes whatever the data.
std::vector<TableLocation> FindTables(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                                      std::span<const TableRegion> tables);

} // namespace dovra
