#include "locate/image_alignment.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#include "locate/gram_sampling.h"
#include "locate/radix_sort.h"

namespace dovra::detail {
namespace {

// Large images are profiled at this stride; small ones at every byte.
constexpr std::size_t kProfileStride = 61;
// Anchors kept only in runs of this many that moved by one distance: a lone unique gram can be chance.
constexpr std::size_t kMinimumChain = 3;

// The stride at which an image of this size is profiled.
std::size_t ProfileStride(std::size_t size) {
    return size >= kProfileStride * (std::size_t{1} << 16) ? kProfileStride : 1;
}

// The places of the grams both hold, in no particular order; with room for `more` pairs after them. Where
// one gram of each image has a key, the pair is taken by the key alone, the grams to be compared later in
// ascending order (KeepEqualGrams); where more share a key, their bytes decide here.
std::vector<AnchorPair> PairByKey(const std::vector<GramSample>& oldSamples, const std::uint8_t* oldImage,
                                  const std::vector<GramSample>& newSamples, const std::uint8_t* newImage,
                                  std::size_t more) {
    std::vector<AnchorPair> pairs;
    pairs.reserve(std::min(oldSamples.size(), newSamples.size()) + more);
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < oldSamples.size() && j < newSamples.size()) {
        const std::uint32_t key = oldSamples[i].key;
        if (key < newSamples[j].key) {
            ++i;
            continue;
        }
        if (newSamples[j].key < key) {
            ++j;
            continue;
        }
        std::size_t oldEnd = i + 1;
        while (oldEnd < oldSamples.size() && oldSamples[oldEnd].key == key) {
            ++oldEnd;
        }
        std::size_t newEnd = j + 1;
        while (newEnd < newSamples.size() && newSamples[newEnd].key == key) {
            ++newEnd;
        }
        if (oldEnd == i + 1 && newEnd == j + 1) {
            pairs.push_back({oldSamples[i].offset, newSamples[j].offset});
        } else {
            for (std::size_t k = j; i < oldEnd; ++i) {
                while (k < newEnd && GramLess(newSamples[k], newImage, oldSamples[i], oldImage)) {
                    ++k;
                }
                if (k < newEnd && !GramLess(oldSamples[i], oldImage, newSamples[k], newImage)) {
                    pairs.push_back({oldSamples[i].offset, newSamples[k].offset});
                }
            }
        }
        i = oldEnd;
        j = newEnd;
    }
    return pairs;
}

// Drops the pairs whose grams differ (keys that agreed by chance), read in ascending old offset, which
// reads both images front to back where they kept their order.
void KeepEqualGrams(std::vector<AnchorPair>& pairs, std::span<const std::uint8_t> oldImage,
                    std::span<const std::uint8_t> newImage) {
    std::size_t kept = 0;
    for (const AnchorPair& pair : pairs) {
        if (std::memcmp(oldImage.data() + pair.oldOffset, newImage.data() + pair.newOffset, kAnchorLength) == 0) {
            pairs[kept++] = pair;
        }
    }
    pairs.resize(kept);
}

// The longest chain of pairs in ascending old offset whose new offsets ascend too (patience sorting): pairs
// that cross it are bytes that moved elsewhere or matched by chance.
std::vector<AnchorPair> LongestIncreasing(std::vector<AnchorPair> pairs) {
    // Pairs are fewer than 2^32 - 2: each has its own old offset, and no gram starts in an image's last bytes.
    constexpr std::uint32_t kNone = UINT32_MAX;
    // The pair that ends the best chain of each length so far, and its new offset: the offsets side by
    // side, as the search for where a pair goes reads only them. Where the images kept their order most pairs
    // extend the longest chain, which is looked at first.
    std::vector<std::uint32_t> tails;
    std::vector<std::uint32_t> tailOffsets;
    std::vector<std::uint32_t> previous(pairs.size(), kNone);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const std::uint32_t value = pairs[i].newOffset;
        const std::size_t length =
            tailOffsets.empty() || tailOffsets.back() < value
                ? tailOffsets.size()
                : static_cast<std::size_t>(std::lower_bound(tailOffsets.begin(), tailOffsets.end(), value) -
                                           tailOffsets.begin());
        if (length != 0) {
            previous[i] = tails[length - 1];
        }
        if (length == tails.size()) {
            tails.push_back(static_cast<std::uint32_t>(i));
            tailOffsets.push_back(value);
        } else {
            tails[length] = static_cast<std::uint32_t>(i);
            tailOffsets[length] = value;
        }
    }
    // The chain's pairs marked, then moved to the front in their order: no second array of them.
    constexpr std::uint32_t kInChain = kNone - 1;
    for (std::uint32_t i = tails.empty() ? kNone : tails.back(); i != kNone;) {
        i = std::exchange(previous[i], kInChain);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (previous[i] == kInChain) {
            pairs[kept++] = pairs[i];
        }
    }
    pairs.resize(kept);
    return pairs;
}

std::int64_t Shift(const AnchorPair& pair) {
    return std::int64_t{pair.newOffset} - std::int64_t{pair.oldOffset};
}

// Keeps the anchors that stand in runs of at least kMinimumChain moved by one distance.
std::vector<AnchorPair> KeepChains(const std::vector<AnchorPair>& chain) {
    std::vector<AnchorPair> kept;
    kept.reserve(chain.size());
    for (std::size_t i = 0; i < chain.size();) {
        std::size_t j = i + 1;
        while (j < chain.size() && Shift(chain[j]) == Shift(chain[i])) {
            ++j;
        }
        if (j - i >= kMinimumChain) {
            kept.insert(kept.end(), chain.begin() + static_cast<std::ptrdiff_t>(i),
                        chain.begin() + static_cast<std::ptrdiff_t>(j));
        }
        i = j;
    }
    return kept;
}

} // namespace

ImageAlignment::ImageAlignment(std::span<const std::uint8_t> oldImage, std::span<const std::uint8_t> newImage,
                               std::vector<AnchorPair> known, unsigned threads, const ByteProfile* newProfile) {
    std::vector<GramSample> oldSamples;
    std::vector<GramSample> newSamples;
    bool sampled = false;
    const std::size_t stride = ProfileStride(newImage.size());
    const SamplePlan plan = ChoosePlan(
        newProfile != nullptr && newProfile->stride == stride ? *newProfile : ProfileBytes(newImage, stride));
    // A thread costs more than sampling a few MiB.
    const bool twoThreads = threads == 0 ? std::thread::hardware_concurrency() != 1 &&
                                               oldImage.size() + newImage.size() >= (std::size_t{8} << 20)
                                         : threads >= 2;
    if (twoThreads) {
        try {
            std::thread helper([&] { newSamples = UniqueSamples(newImage, plan); });
            oldSamples = UniqueSamples(oldImage, plan);
            helper.join();
            sampled = true;
        } catch (const std::system_error&) {
            sampled = false;
        }
    }
    if (!sampled) {
        oldSamples = UniqueSamples(oldImage, plan);
        newSamples = UniqueSamples(newImage, plan);
    }
    // In ascending old offset, and where the same old offset comes twice (a table found once that is also a
    // sampled gram), the lower new offset first. The sampled pairs have distinct old offsets.
    const auto byOffsets = [](const AnchorPair& a, const AnchorPair& b) {
        return a.oldOffset != b.oldOffset ? a.oldOffset < b.oldOffset : a.newOffset < b.newOffset;
    };
    std::vector<AnchorPair> pairs = PairByKey(oldSamples, oldImage.data(), newSamples, newImage.data(), known.size());
    RadixSortBy(pairs, [](const AnchorPair& pair) { return pair.oldOffset; });
    KeepEqualGrams(pairs, oldImage, newImage);
    std::sort(known.begin(), known.end(), byOffsets);
    // Merged in place from the back, the known pairs after sampled ones of the same old offset, as a merge
    // keeps them; then one pair for each old offset.
    std::size_t fromSampled = pairs.size();
    pairs.resize(fromSampled + known.size());
    for (std::size_t k = known.size(), at = pairs.size(); k > 0;) {
        if (fromSampled > 0 && byOffsets(known[k - 1], pairs[fromSampled - 1])) {
            pairs[--at] = pairs[--fromSampled];
        } else {
            pairs[--at] = known[--k];
        }
    }
    pairs.erase(std::unique(pairs.begin(), pairs.end(),
                            [](const AnchorPair& a, const AnchorPair& b) { return a.oldOffset == b.oldOffset; }),
                pairs.end());
    m_chain = LongestIncreasing(std::move(pairs));
    m_anchors = KeepChains(m_chain);
}

std::vector<std::int64_t> ImageAlignment::ShiftsInside(std::uint32_t oldOffset, std::uint32_t size) const {
    std::vector<std::int64_t> shifts;
    const std::uint64_t end = std::uint64_t{oldOffset} + size;
    auto it = std::lower_bound(m_chain.begin(), m_chain.end(), oldOffset,
                               [](const AnchorPair& a, std::uint32_t value) { return a.oldOffset < value; });
    for (; it != m_chain.end() && std::uint64_t{it->oldOffset} + kAnchorLength <= end; ++it) {
        if (std::find(shifts.begin(), shifts.end(), Shift(*it)) == shifts.end()) {
            shifts.push_back(Shift(*it));
        }
    }
    return shifts;
}

Neighbourhood ImageAlignment::Around(std::uint32_t oldOffset, std::uint32_t size, std::uint32_t reach) const {
    Neighbourhood around;
    const std::uint64_t end = std::uint64_t{oldOffset} + size;
    // The first anchor whose gram ends after the table starts: everything before it lies wholly before.
    auto after =
        std::lower_bound(m_anchors.begin(), m_anchors.end(), oldOffset, [](const AnchorPair& a, std::uint32_t value) {
            return std::uint64_t{a.oldOffset} + kAnchorLength <= value;
        });
    if (after != m_anchors.begin()) {
        const AnchorPair& before = *(after - 1);
        const std::uint32_t distance = oldOffset - (before.oldOffset + kAnchorLength);
        if (distance <= reach) {
            around.shiftBefore = Shift(before);
            around.distanceBefore = distance;
        }
    }
    auto next = std::lower_bound(after, m_anchors.end(), end,
                                 [](const AnchorPair& a, std::uint64_t value) { return a.oldOffset < value; });
    if (next != m_anchors.end()) {
        const std::uint64_t distance = next->oldOffset - end;
        if (distance <= reach) {
            around.shiftAfter = Shift(*next);
            around.distanceAfter = static_cast<std::uint32_t>(distance);
        }
    }
    return around;
}

} // namespace dovra::detail
