#include "locate/pointer_moves.h"

#include <algorithm>
#include <cstring>

namespace dovra::detail {
namespace {

// Below this a word is more likely a count or an id than an address.
constexpr std::uint32_t kLowestPointer = 0x10000;
// A table's words: pointers are 4-byte aligned in a table of them (the high half of an 8-byte pointer is
// zero, and stays so).
constexpr std::size_t kWord = 4;

std::uint32_t Word(const std::uint8_t* bytes) {
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word; // little-endian targets, as the definitions' values are
}

} // namespace

PointerMoves::PointerMoves(const ImageAlignment& alignment, std::span<const AnchorPair> tables) {
    for (const auto& anchors : {std::span(alignment.Anchors()), tables}) {
        for (const AnchorPair& anchor : anchors) {
            const std::int64_t distance = std::int64_t{anchor.newOffset} - std::int64_t{anchor.oldOffset};
            if (distance != 0) {
                m_distances.push_back(distance);
            }
        }
    }
    std::sort(m_distances.begin(), m_distances.end());
    m_distances.erase(std::unique(m_distances.begin(), m_distances.end()), m_distances.end());
}

bool PointerMoves::IsRegionMove(std::int64_t distance) const {
    return distance != 0 && std::binary_search(m_distances.begin(), m_distances.end(), distance);
}

std::optional<SimilarMatch> MovedPointersAt(std::span<const std::uint8_t> table, std::span<const std::uint8_t> newImage,
                                            std::int64_t place, const PointerMoves& moves, const FillerBytes& filler) {
    if (table.size() < kWord || table.size() % kWord != 0 || place < 0 ||
        static_cast<std::uint64_t>(place) + table.size() > newImage.size()) {
        return std::nullopt;
    }
    const std::uint8_t* at = newImage.data() + place;
    std::uint32_t informative = 0;
    std::uint32_t agreeing = 0;
    std::uint32_t moved = 0;
    for (std::size_t i = 0; i < table.size(); i += kWord) {
        const std::uint32_t before = Word(table.data() + i);
        const std::uint32_t after = Word(at + i);
        std::uint32_t wordInformative = 0;
        std::uint32_t wordEqual = 0;
        for (std::size_t k = 0; k < kWord; ++k) {
            if (!filler.IsFiller(table[i + k])) {
                ++wordInformative;
                wordEqual += table[i + k] == at[i + k] ? 1 : 0;
            }
        }
        informative += wordInformative;
        if (before == after) {
            agreeing += wordInformative;
        } else if (before >= kLowestPointer && after >= kLowestPointer &&
                   moves.IsRegionMove(std::int64_t{after} - std::int64_t{before})) {
            agreeing += wordInformative;
            ++moved;
        } else {
            agreeing += wordEqual;
        }
    }
    if (moved == 0 || informative == 0 || agreeing * 100 < informative * kSimilarPercent) {
        return std::nullopt;
    }
    return SimilarMatch{static_cast<std::uint32_t>(place), std::min<std::uint32_t>(agreeing * 100 / informative, 99)};
}

bool PointersMovedNowhere(std::span<const std::uint8_t> table, std::span<const std::uint8_t> newImage,
                          std::uint32_t place, const PointerMoves& moves) {
    if (std::uint64_t{place} + table.size() > newImage.size()) {
        return false;
    }
    std::size_t changed = 0;
    for (std::size_t i = 0; i + kWord <= table.size(); i += kWord) {
        const std::uint32_t before = Word(table.data() + i);
        const std::uint32_t after = Word(newImage.data() + place + i);
        if (before == after || before < kLowestPointer || after < kLowestPointer) {
            continue;
        }
        if (moves.IsRegionMove(std::int64_t{after} - std::int64_t{before})) {
            return false;
        }
        ++changed;
    }
    return changed >= kMinimumMovedPointers;
}

bool EqualButMovedPointers(std::span<const std::uint8_t> oldBytes, std::uint64_t oldOffset,
                           const std::uint8_t* newBytes, const PointerMoves& moves) {
    if (std::memcmp(oldBytes.data(), newBytes, oldBytes.size()) == 0) {
        return true;
    }
    const std::size_t head = std::min<std::size_t>(oldBytes.size(), (kWord - oldOffset % kWord) % kWord);
    if (std::memcmp(oldBytes.data(), newBytes, head) != 0) {
        return false;
    }
    std::size_t i = head;
    for (; i + kWord <= oldBytes.size(); i += kWord) {
        const std::uint32_t before = Word(oldBytes.data() + i);
        const std::uint32_t after = Word(newBytes + i);
        if (before != after && (before < kLowestPointer || after < kLowestPointer ||
                                !moves.IsRegionMove(std::int64_t{after} - std::int64_t{before}))) {
            return false;
        }
    }
    return std::memcmp(oldBytes.data() + i, newBytes + i, oldBytes.size() - i) == 0;
}

} // namespace dovra::detail
