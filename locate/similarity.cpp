#include "locate/similarity.h"

#include <algorithm>
#include <vector>

#include "locate/radix_sort.h"

namespace dovra::detail {
namespace {

// A value is filler when it is more than one byte in this many of the image.
constexpr std::uint64_t kFillerShare = 16;
// Window places are ranked on the table's first bytes; only the best is scored in full.
constexpr std::size_t kRankingBytes = 1024;
// Below this many words a comparison sort is quicker than clearing a radix sort's buckets.
constexpr std::size_t kRadixSortFrom = 1u << 14;

struct Agreement {
    std::uint32_t informative = 0;
    std::uint32_t agreeing = 0;
};

Agreement Agree(std::span<const std::uint8_t> table, const std::uint8_t* place, std::size_t length,
                const FillerBytes& filler) {
    Agreement agreement;
    for (std::size_t i = 0; i < length; ++i) {
        if (!filler.IsFiller(table[i])) {
            ++agreement.informative;
            agreement.agreeing += place[i] == table[i] ? 1 : 0;
        }
    }
    return agreement;
}

std::uint32_t Word(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

// Small numbers (counts, ids, flags, and zeros where a few bytes stood) change by equal amounts by chance;
// a pointer is a large number.
bool LooksLikePointer(std::uint32_t word) {
    return word >= 0x10000u;
}

// Pointers into the binary change by the distance the bytes they point to moved: in a table of pointers
// every pointer to one region changes by the same amount. Words (little-endian, at one of the four
// phases) that differ by an amount that enough of the words that differ share (so that it is no
// coincidence) count as agreeing. Returns the informative bytes of those words that differ from the old
// ones.
// `eachWord(phase, f)` calls f(at, before) for the table's words at `phase` that look like pointers, in
// ascending order: only those can have moved as pointers.
template <typename EachWord>
std::uint32_t MovedPointerBytesOf(std::span<const std::uint8_t> table, const std::uint8_t* place,
                                  const FillerBytes& filler, EachWord eachWord) {
    std::uint32_t best = 0;
    std::vector<std::uint32_t> deltas;
    std::vector<std::uint32_t> shared;
    for (std::size_t phase = 0; phase < 4 && phase + 4 <= table.size(); ++phase) {
        // Words that share an amount share its low byte: where no low byte is shared by enough of the
        // changed words (any place but a near one, for most tables), nothing needs sorting.
        std::array<std::uint32_t, 256> lowBytes{};
        std::size_t changed = 0;
        std::uint32_t mostShared = 0;
        eachWord(phase, [&](std::size_t at, std::uint32_t before) {
            const std::uint32_t after = Word(place + at);
            if (before != after && LooksLikePointer(after)) {
                ++changed;
                mostShared = std::max(mostShared, ++lowBytes[(after - before) & 0xFFu]);
            }
        });
        if (mostShared < kMinimumMovedPointers || std::size_t{mostShared} * kMovedPointerShare < changed) {
            continue;
        }
        // An amount enough of the changed words share has a low byte that many share too: only the words
        // of such low bytes are sorted (at most eight low bytes; at most places a few words).
        std::array<bool, 256> candidate{};
        for (std::size_t low = 0; low < 256; ++low) {
            candidate[low] =
                lowBytes[low] >= kMinimumMovedPointers && std::size_t{lowBytes[low]} * kMovedPointerShare >= changed;
        }
        deltas.clear();
        eachWord(phase, [&](std::size_t at, std::uint32_t before) {
            const std::uint32_t after = Word(place + at);
            if (before != after && LooksLikePointer(after) && candidate[(after - before) & 0xFFu]) {
                deltas.push_back(after - before);
            }
        });
        // A changed table of a megabyte has a quarter million words a phase.
        if (deltas.size() >= kRadixSortFrom) {
            RadixSortBy(deltas, [](std::uint32_t delta) { return delta; });
        } else {
            std::sort(deltas.begin(), deltas.end());
        }
        // Pointers into several regions move by one amount per region.
        shared.clear();
        for (std::size_t i = 0; i < deltas.size();) {
            std::size_t j = i + 1;
            while (j < deltas.size() && deltas[j] == deltas[i]) {
                ++j;
            }
            if (j - i >= kMinimumMovedPointers && (j - i) * kMovedPointerShare >= changed) {
                shared.push_back(deltas[i]);
            }
            i = j;
        }
        if (shared.empty()) {
            continue;
        }
        std::uint32_t bytes = 0;
        eachWord(phase, [&](std::size_t at, std::uint32_t before) {
            const std::uint32_t after = Word(place + at);
            if (after != before && LooksLikePointer(after) &&
                std::binary_search(shared.begin(), shared.end(), after - before)) {
                for (std::size_t k = at; k < at + 4; ++k) {
                    bytes += !filler.IsFiller(table[k]) && place[k] != table[k] ? 1 : 0;
                }
            }
        });
        best = std::max(best, bytes);
    }
    return best;
}

// Every word of the table, read as it is walked: for the whole of a changed table, scored once.
std::uint32_t MovedPointerBytes(std::span<const std::uint8_t> table, const std::uint8_t* place,
                                const FillerBytes& filler) {
    return MovedPointerBytesOf(table, place, filler, [&](std::size_t phase, const auto& f) {
        for (std::size_t at = phase; at + 4 <= table.size(); at += 4) {
            const std::uint32_t before = Word(table.data() + at);
            if (LooksLikePointer(before)) {
                f(at, before);
            }
        }
    });
}

// The words of a table's first kRankingBytes that look like pointers, read once for every place of the
// window they are ranked at; the others are never looked at again.
class PointerWords {
public:
    explicit PointerWords(std::span<const std::uint8_t> head) {
        for (std::size_t phase = 0; phase < 4; ++phase) {
            for (std::size_t at = phase; at + 4 <= head.size(); at += 4) {
                const std::uint32_t before = Word(head.data() + at);
                if (LooksLikePointer(before)) {
                    m_words[phase][m_counts[phase]++] = {static_cast<std::uint16_t>(at), before};
                }
            }
        }
    }

    std::uint32_t MovedPointerBytes(std::span<const std::uint8_t> head, const std::uint8_t* place,
                                    const FillerBytes& filler) const {
        return MovedPointerBytesOf(head, place, filler, [&](std::size_t phase, const auto& f) {
            for (std::size_t k = 0; k < m_counts[phase]; ++k) {
                f(m_words[phase][k].at, m_words[phase][k].before);
            }
        });
    }

private:
    struct Entry {
        std::uint16_t at;
        std::uint32_t before;
    };
    std::array<std::array<Entry, kRankingBytes / 4>, 4> m_words;
    std::array<std::size_t, 4> m_counts{};
};

} // namespace

FillerBytes::FillerBytes(std::span<const std::uint8_t> image)
    : FillerBytes(ProfileBytes(image, kFillerProfileStride)) {}

FillerBytes::FillerBytes(const ByteProfile& profile) {
    std::uint64_t fillerCount = 0;
    for (std::size_t value = 0; value < 256; ++value) {
        m_filler[value] = profile.total != 0 && profile.counts[value] * kFillerShare > profile.total;
        fillerCount += m_filler[value] ? profile.counts[value] : 0;
    }
    m_dominates = profile.total != 0 && fillerCount * 2 >= profile.total;
}

std::uint32_t InformativeBytes(std::span<const std::uint8_t> table, const FillerBytes& filler) {
    return Agree(table, table.data(), table.size(), filler).informative;
}

std::optional<SimilarMatch> FindSimilar(std::span<const std::uint8_t> table, std::span<const std::uint8_t> newImage,
                                        std::int64_t base, const FillerBytes& filler) {
    if (table.size() > newImage.size()) {
        return std::nullopt;
    }
    const std::int64_t lastStart = static_cast<std::int64_t>(newImage.size() - table.size());
    const std::size_t ranked = std::min(table.size(), kRankingBytes);
    const std::span<const std::uint8_t> head = table.first(ranked);
    const PointerWords pointerWords(head);
    // Nearest first, so that among equal agreements the place nearest the prediction wins. Every place is
    // weighed with its moved pointers: where all of a table's pointers moved, few of its bytes stay equal
    // at its true place, while a place a word or a record off can keep more of them (a move by a multiple
    // of 256 keeps the low bytes of the pointers next door), so equal bytes alone cannot rank the places.
    std::optional<std::int64_t> best;
    std::uint64_t bestAgreeing = 0;
    for (std::int64_t step = 0; step <= 2 * std::int64_t{kSimilarWindow}; ++step) {
        const std::int64_t start = base + (step % 2 == 0 ? step / 2 : -(step + 1) / 2);
        if (start < 0 || start > lastStart) {
            continue;
        }
        const std::uint8_t* place = newImage.data() + start;
        const std::uint64_t agreeing =
            Agree(head, place, ranked, filler).agreeing + pointerWords.MovedPointerBytes(head, place, filler);
        if (!best || agreeing > bestAgreeing) {
            best = start;
            bestAgreeing = agreeing;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    const std::optional<std::uint32_t> percent = AgreementPercent(table, newImage.data() + *best, filler);
    if (!percent || *percent < kSimilarPercent) {
        return std::nullopt;
    }
    // 100 would read as an exact match, which this is not.
    return SimilarMatch{static_cast<std::uint32_t>(*best), std::min<std::uint32_t>(*percent, 99)};
}

std::optional<std::uint32_t> AgreementPercent(std::span<const std::uint8_t> table, const std::uint8_t* place,
                                              const FillerBytes& filler) {
    Agreement agreement = Agree(table, place, table.size(), filler);
    if (agreement.informative < kMinimumInformative) {
        return std::nullopt;
    }
    agreement.agreeing += MovedPointerBytes(table, place, filler);
    return static_cast<std::uint32_t>(std::uint64_t{agreement.agreeing} * 100 / agreement.informative);
}

} // namespace dovra::detail
