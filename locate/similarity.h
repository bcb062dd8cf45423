#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "locate/byte_profile.h"
#include "locate/table_locator.h"

// How well a changed table's old bytes agree with a stretch of the new image. Binaries are mostly filler
// (zeros, 0xFF, padding), and a table of mostly zeros agrees with any stretch of zeros: only the bytes of
// the table that are not the image's common filler values count.
namespace dovra::detail {

// Byte values that make up a large share of the image; an agreement on them says nothing.
class FillerBytes {
public:
    explicit FillerBytes(std::span<const std::uint8_t> image);
    // From the image's profile at kFillerProfileStride.
    explicit FillerBytes(const ByteProfile& profile);
    bool IsFiller(std::uint8_t value) const { return m_filler[value]; }
    // Whether filler makes up at least half of the image: then bytes an update inserts are often filler
    // alone, and an edit of nothing but filler leaves no trace next to a stretch of it.
    bool Dominates() const { return m_dominates; }

private:
    std::array<bool, 256> m_filler{};
    bool m_dominates = false;
};

// A stretch is similar when at least kMinimumInformative of the table's bytes are not filler, and at least
// kSimilarPercent percent of those agree (equal, or in a pointer moved by the amount the table's pointers
// share); the percent given is that agreement (rounded down, at most 99).
inline constexpr std::uint32_t kMinimumInformative = 16;
inline constexpr std::uint32_t kSimilarPercent = 70;
// Pointers that changed by one shared amount count as agreeing when at least this many words, and one in
// kMovedPointerShare of the words that changed, share it.
inline constexpr std::size_t kMinimumMovedPointers = 4;
inline constexpr std::size_t kMovedPointerShare = 8;
// Moves inside a region: how far from a predicted place a changed table is looked for.
inline constexpr std::uint32_t kSimilarWindow = 64;

// The best similar place within kSimilarWindow of `base` (the nearest among equals), if any.
std::optional<SimilarMatch> FindSimilar(std::span<const std::uint8_t> table, std::span<const std::uint8_t> newImage,
                                        std::int64_t base, const FillerBytes& filler);

// The agreement of the table's bytes with the same number of bytes at `place`, in percent rounded down;
// nullopt when fewer than kMinimumInformative of the table's bytes are not filler.
std::optional<std::uint32_t> AgreementPercent(std::span<const std::uint8_t> table, const std::uint8_t* place,
                                              const FillerBytes& filler);

// Table bytes that are not filler.
std::uint32_t InformativeBytes(std::span<const std::uint8_t> table, const FillerBytes& filler);

} // namespace dovra::detail
