#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "locate/byte_profile.h"

// How the old image maps onto the new one. Tables do not move alone: the bytes around a table in the old
// image stand around it in the new one, moved by the same distance. The alignment finds places whose bytes
// occur exactly once in each image and keeps those that line up in the same order over long stretches, so
// that for any old address it can say how far its neighbourhood moved, and whether both sides agree.
namespace dovra::detail {

// One place of the old image and where the same bytes stand, alone, in the new one.
struct AnchorPair {
    std::uint32_t oldOffset = 0;
    std::uint32_t newOffset = 0;
};

// The distance the anchors just before and just after an old stretch moved, and how far they are from it.
struct Neighbourhood {
    std::optional<std::int64_t> shiftBefore;
    std::optional<std::int64_t> shiftAfter;
    std::uint32_t distanceBefore = 0;
    std::uint32_t distanceAfter = 0;
};

class ImageAlignment {
public:
    // `known` are places already known to be unique in both images (tables found exactly once); they join
    // the sampled anchors. Linear in the images' sizes whatever the data; the same on one thread or two.
    // `threads` 0 lets large images be sampled on two threads when the machine has them.
    // `newProfile`, when given, is the new image's byte profile, used where its stride is the one the
    // alignment profiles at.
    ImageAlignment(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                   std::vector<AnchorPair> known, unsigned threads = 0, const ByteProfile* newProfile = nullptr);

    // The kept anchors nearest to [oldOffset, oldOffset + size) on either side, outside it, within `reach`.
    Neighbourhood Around(std::uint32_t oldOffset, std::uint32_t size, std::uint32_t reach) const;

    // The distinct distances moved by the anchors of the longest ordered chain (before short runs are
    // dropped) that lie wholly inside [oldOffset, oldOffset + size): a changed table's unchanged parts.
    std::vector<std::int64_t> ShiftsInside(std::uint32_t oldOffset, std::uint32_t size) const;

    // Kept anchors in ascending old (and new) offset.
    const std::vector<AnchorPair>& Anchors() const { return m_anchors; }

private:
    std::vector<AnchorPair> m_chain;
    std::vector<AnchorPair> m_anchors;
};

// Bytes of a gram an anchor stands for: an anchor's bytes are [offset, offset + kAnchorLength).
inline constexpr std::uint32_t kAnchorLength = 16;

} // namespace dovra::detail
