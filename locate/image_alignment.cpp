#include "locate/image_alignment.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>
#include <thread>

namespace dovra::detail {
namespace {

constexpr std::uint64_t kSampleHash = 0x9E3779B97F4A7C15ull;
// About one place in 64 is sampled: some anchors every few hundred bytes of informative data.
constexpr int kSampleBits = 6;
// Places whose gram repeats within this many samples are repeats of a pattern, never unique.
constexpr std::size_t kRecentSamples = 16;
// Anchors kept only in runs of this many that moved by one distance: a lone unique gram can be chance.
constexpr std::size_t kMinimumChain = 3;

struct Sample {
    std::uint64_t low;
    std::uint64_t high;
    std::uint32_t offset;
    bool repeated;
};

std::uint64_t Load(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

bool IsRun(std::uint64_t word) {
    return word == (word & 0xFF) * 0x0101010101010101ull;
}

// Places chosen by their own bytes, so the same bytes are chosen in both images wherever they stand; runs
// of one value (padding, zero tables) are never chosen. Sorted by gram, and only grams that occur once.
std::vector<Sample> UniqueSamples(std::span<const std::uint8_t> image) {
    std::vector<Sample> samples;
    if (image.size() < kAnchorLength) {
        return samples;
    }
    samples.reserve(image.size() >> (kSampleBits + 1));
    std::array<std::size_t, kRecentSamples> recent{};
    std::size_t recentCount = 0;
    const std::uint8_t* data = image.data();
    const std::size_t last = image.size() - kAnchorLength;
    for (std::size_t pos = 0; pos <= last; ++pos) {
        const std::uint64_t low = Load(data + pos);
        if ((low * kSampleHash) >> (64 - kSampleBits) != 0 || IsRun(low)) {
            continue;
        }
        const std::uint64_t high = Load(data + pos + 8);
        bool repeated = false;
        for (std::size_t k = 0; k < std::min(recentCount, kRecentSamples); ++k) {
            Sample& earlier = samples[recent[k]];
            if (earlier.low == low && earlier.high == high) {
                earlier.repeated = true;
                repeated = true;
            }
        }
        if (repeated) {
            continue;
        }
        recent[recentCount % kRecentSamples] = samples.size();
        ++recentCount;
        samples.push_back({low, high, static_cast<std::uint32_t>(pos), false});
    }
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) {
        return a.low != b.low ? a.low < b.low : a.high != b.high ? a.high < b.high : a.offset < b.offset;
    });
    std::vector<Sample> unique;
    for (std::size_t i = 0; i < samples.size();) {
        std::size_t j = i + 1;
        while (j < samples.size() && samples[j].low == samples[i].low && samples[j].high == samples[i].high) {
            ++j;
        }
        if (j == i + 1 && !samples[i].repeated) {
            unique.push_back(samples[i]);
        }
        i = j;
    }
    return unique;
}

bool GramLess(const Sample& a, const Sample& b) {
    return a.low != b.low ? a.low < b.low : a.high < b.high;
}

std::vector<AnchorPair> Pair(const std::vector<Sample>& oldSamples, const std::vector<Sample>& newSamples) {
    std::vector<AnchorPair> pairs;
    std::size_t j = 0;
    for (const Sample& old : oldSamples) {
        while (j < newSamples.size() && GramLess(newSamples[j], old)) {
            ++j;
        }
        if (j < newSamples.size() && !GramLess(old, newSamples[j])) {
            pairs.push_back({old.offset, newSamples[j].offset});
        }
    }
    return pairs;
}

// The longest chain of pairs in ascending old offset whose new offsets ascend too (patience sorting): pairs
// that cross it are bytes that moved elsewhere or matched by chance.
std::vector<AnchorPair> LongestIncreasing(const std::vector<AnchorPair>& pairs) {
    std::vector<std::size_t> tails;
    std::vector<std::size_t> previous(pairs.size(), SIZE_MAX);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        auto it = std::lower_bound(tails.begin(), tails.end(), pairs[i].newOffset,
                                   [&](std::size_t t, std::uint32_t value) { return pairs[t].newOffset < value; });
        if (it != tails.begin()) {
            previous[i] = *(it - 1);
        }
        if (it == tails.end()) {
            tails.push_back(i);
        } else {
            *it = i;
        }
    }
    std::vector<AnchorPair> chain;
    for (std::size_t i = tails.empty() ? SIZE_MAX : tails.back(); i != SIZE_MAX; i = previous[i]) {
        chain.push_back(pairs[i]);
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

std::int64_t Shift(const AnchorPair& pair) {
    return std::int64_t{pair.newOffset} - std::int64_t{pair.oldOffset};
}

// Keeps the anchors that stand in runs of at least kMinimumChain moved by one distance.
std::vector<AnchorPair> KeepChains(const std::vector<AnchorPair>& chain) {
    std::vector<AnchorPair> kept;
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
                               std::vector<AnchorPair> known, unsigned threads) {
    std::vector<Sample> oldSamples;
    std::vector<Sample> newSamples;
    bool sampled = false;
    // A thread costs more than sampling a few MiB.
    const bool twoThreads = threads == 0 ? std::thread::hardware_concurrency() != 1 &&
                                               oldImage.size() + newImage.size() >= (std::size_t{8} << 20)
                                         : threads >= 2;
    if (twoThreads) {
        try {
            std::thread helper([&] { newSamples = UniqueSamples(newImage); });
            oldSamples = UniqueSamples(oldImage);
            helper.join();
            sampled = true;
        } catch (const std::system_error&) {
            sampled = false;
        }
    }
    if (!sampled) {
        oldSamples = UniqueSamples(oldImage);
        newSamples = UniqueSamples(newImage);
    }
    std::vector<AnchorPair> pairs = Pair(oldSamples, newSamples);
    pairs.insert(pairs.end(), known.begin(), known.end());
    std::sort(pairs.begin(), pairs.end(), [](const AnchorPair& a, const AnchorPair& b) {
        return a.oldOffset != b.oldOffset ? a.oldOffset < b.oldOffset : a.newOffset < b.newOffset;
    });
    pairs.erase(std::unique(pairs.begin(), pairs.end(),
                            [](const AnchorPair& a, const AnchorPair& b) { return a.oldOffset == b.oldOffset; }),
                pairs.end());
    m_chain = LongestIncreasing(pairs);
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
