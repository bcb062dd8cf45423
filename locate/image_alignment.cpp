#include "locate/image_alignment.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>
#include <thread>

#include "locate/radix_sort.h"

namespace dovra::detail {
namespace {

// About one place in this many starts a sampled gram: anchors every KiB or so, few enough to sort quickly.
constexpr std::uint64_t kSampleSpacing = 1024;
// Grams start at the bytes of a few rare values, each found by one memchr pass over the image.
constexpr std::size_t kMaximumTriggers = 3;
// Large images are profiled at this stride; small ones at every byte.
constexpr std::size_t kProfileStride = 61;
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

// Where grams are sampled. Usually at the bytes of a few rare values: values rarer than one in kSampleSpacing, the most
// common of them first, until together they reach about that share; where every value is more common than that (packed
// or random data), the rarest one. Chosen from one image and used for both, so that the same bytes are sampled in both
// wherever they stand.
struct SamplePlan {
    std::vector<std::uint8_t> triggers;
    // Mostly zeros: grams start where a zero stretch ends (one in 2^clusterBits of those places, chosen by
    // the gram's bytes), as rare values alone would leave too few anchors.
    bool zeroClusters = false;
    int clusterBits = 0;
};

constexpr std::uint64_t kSampleHash = 0x9E3779B97F4A7C15ull;

// The stride at which an image of this size is profiled.
std::size_t ProfileStride(std::size_t size) {
    return size >= kProfileStride * (std::size_t{1} << 16) ? kProfileStride : 1;
}

SamplePlan ChoosePlan(const ByteProfile& profile) {
    SamplePlan plan;
    const std::array<std::uint64_t, 256>& counts = profile.counts;
    const std::uint64_t total = profile.total;
    const std::uint64_t clusterStarts = profile.zeroEnds;
    if (total != 0 && counts[0] * 10 >= total * 9) {
        plan.zeroClusters = true;
        while ((clusterStarts >> plan.clusterBits) * kSampleSpacing > total * 2) {
            ++plan.clusterBits;
        }
        return plan;
    }
    std::vector<std::uint8_t> values;
    for (std::size_t value = 0; value < 256; ++value) {
        if (counts[value] != 0) {
            values.push_back(static_cast<std::uint8_t>(value));
        }
    }
    std::sort(values.begin(), values.end(),
              [&](std::uint8_t a, std::uint8_t b) { return counts[a] != counts[b] ? counts[a] > counts[b] : a < b; });
    std::vector<std::uint8_t>& triggers = plan.triggers;
    std::uint64_t share = 0;
    for (std::uint8_t value : values) {
        if (counts[value] * kSampleSpacing > total) {
            continue;
        }
        if (triggers.size() == kMaximumTriggers || share * kSampleSpacing >= total) {
            break;
        }
        triggers.push_back(value);
        share += counts[value];
    }
    if (triggers.empty() && !values.empty()) {
        triggers.push_back(values.back());
    }
    return plan;
}

// Grams chosen by their own bytes, so that the same bytes are chosen in both images wherever they stand;
// runs of one value (padding, zero tables) are never chosen. Sorted by gram, and only grams that occur once.
class Sampler {
public:
    // Room for about four times the expected samples, so that they are not copied as they grow; pages of
    // it never written are never touched.
    explicit Sampler(std::span<const std::uint8_t> image) : m_data(image.data()) {
        m_samples.reserve(image.size() / (kSampleSpacing / 4));
    }

    // A new stream of places in ascending order: repeats are looked for among the recent ones of a stream.
    void Restart() { m_recentCount = 0; }

    void Add(std::size_t pos, std::uint64_t low) {
        if (IsRun(low)) {
            return;
        }
        const std::uint64_t high = Load(m_data + pos + 8);
        bool repeated = false;
        for (std::size_t k = 0; k < std::min(m_recentCount, kRecentSamples); ++k) {
            Sample& earlier = m_samples[m_recent[k]];
            if (earlier.low == low && earlier.high == high) {
                earlier.repeated = true;
                repeated = true;
            }
        }
        if (repeated) {
            return;
        }
        m_recent[m_recentCount % kRecentSamples] = m_samples.size();
        ++m_recentCount;
        m_samples.push_back({low, high, static_cast<std::uint32_t>(pos), false});
    }

    std::vector<Sample>& Samples() { return m_samples; }

private:
    const std::uint8_t* m_data;
    std::vector<Sample> m_samples;
    std::array<std::size_t, kRecentSamples> m_recent{};
    std::size_t m_recentCount = 0;
};

std::vector<Sample> UniqueSamples(std::span<const std::uint8_t> image, const SamplePlan& plan) {
    if (image.size() < kAnchorLength) {
        return {};
    }
    const std::uint8_t* data = image.data();
    const std::size_t last = image.size() - kAnchorLength;
    Sampler sampler(image);
    if (plan.zeroClusters) {
        for (std::size_t pos = 0; pos <= last;) {
            const std::uint64_t word = Load(data + pos);
            if (word == 0) {
                pos += sizeof word;
                continue;
            }
            if (data[pos] != 0 && (pos == 0 || data[pos - 1] == 0)) {
                const std::uint64_t low = Load(data + pos);
                if (plan.clusterBits == 0 || (low * kSampleHash) >> (64 - plan.clusterBits) == 0) {
                    sampler.Add(pos, low);
                }
            }
            ++pos;
        }
    }
    for (std::uint8_t trigger : plan.triggers) {
        sampler.Restart();
        for (const void* hit = std::memchr(data, trigger, last + 1); hit != nullptr;) {
            const auto pos = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
            hit = pos < last ? std::memchr(data + pos + 1, trigger, last - pos) : nullptr;
            sampler.Add(pos, Load(data + pos));
        }
    }
    std::vector<Sample>& samples = sampler.Samples();
    // Any order that puts equal grams together and is the same in both images will do: by the gram's first
    // four bytes (two radix passes), then each stretch of equal ones by the whole gram and the offset.
    RadixSortBy(samples, [](const Sample& sample) { return static_cast<std::uint32_t>(sample.low); });
    for (std::size_t i = 0; i < samples.size();) {
        std::size_t j = i + 1;
        while (j < samples.size() &&
               static_cast<std::uint32_t>(samples[j].low) == static_cast<std::uint32_t>(samples[i].low)) {
            ++j;
        }
        if (j - i > 1) {
            std::sort(
                samples.begin() + static_cast<std::ptrdiff_t>(i), samples.begin() + static_cast<std::ptrdiff_t>(j),
                [](const Sample& a, const Sample& b) {
                    return a.low != b.low ? a.low < b.low : a.high != b.high ? a.high < b.high : a.offset < b.offset;
                });
        }
        i = j;
    }
    // Kept in place: a fresh vector of a few megabytes costs its page faults.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < samples.size();) {
        std::size_t j = i + 1;
        while (j < samples.size() && samples[j].low == samples[i].low && samples[j].high == samples[i].high) {
            ++j;
        }
        if (j == i + 1 && !samples[i].repeated) {
            samples[kept++] = samples[i];
        }
        i = j;
    }
    samples.resize(kept);
    return std::move(samples);
}

// The order UniqueSamples leaves the grams in.
bool GramLess(const Sample& a, const Sample& b) {
    const auto lowA = static_cast<std::uint32_t>(a.low);
    const auto lowB = static_cast<std::uint32_t>(b.low);
    return lowA != lowB ? lowA < lowB : a.low != b.low ? a.low < b.low : a.high < b.high;
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
                               std::vector<AnchorPair> known, unsigned threads, const ByteProfile* newProfile) {
    std::vector<Sample> oldSamples;
    std::vector<Sample> newSamples;
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
    std::vector<AnchorPair> sampledPairs = Pair(oldSamples, newSamples);
    RadixSortBy(sampledPairs, [](const AnchorPair& pair) { return pair.oldOffset; });
    std::sort(known.begin(), known.end(), byOffsets);
    std::vector<AnchorPair> pairs(sampledPairs.size() + known.size());
    std::merge(sampledPairs.begin(), sampledPairs.end(), known.begin(), known.end(), pairs.begin(), byOffsets);
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
