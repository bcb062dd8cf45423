#include "locate/gram_sampling.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "locate/image_alignment.h"
#include "locate/radix_sort.h"

namespace dovra::detail {
namespace {

// About one place in this many starts a sampled gram: anchors every KiB or so, few enough to sort quickly.
constexpr std::uint64_t kSampleSpacing = 1024;
// Grams start at the bytes of a few rare values, all found in one pass over the image.
constexpr std::size_t kMaximumTriggers = kMaximumScanValues;
// Places whose gram repeats within this many samples of its trigger value are repeats of a pattern, never
// unique.
constexpr std::size_t kRecentSamples = 16;
// The image is scanned this many bytes at a time, so that the places found wait in a buffer that stays in
// the cache until they are sampled.
constexpr std::size_t kScanBlock = 64 << 10;

constexpr std::uint64_t kSampleHash = 0x9E3779B97F4A7C15ull;
// The bit of a sample's key that says its gram came again among the recent samples of its stream.
constexpr std::uint32_t kRepeated = 1;

std::uint64_t Load(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

bool IsRun(std::uint64_t word) {
    return word == (word & 0xFF) * 0x0101010101010101ull;
}

// Collects the samples. Repeats are looked for among the recent samples of one stream, the places of one
// trigger value in ascending order: a gram starts with its trigger value, so grams of different streams
// never repeat each other, and the streams may be fed interleaved, as one pass over the image finds them.
class Sampler {
public:
    // Room for about four times the expected samples, so that they are not copied as they grow; pages of
    // it never written are never touched.
    explicit Sampler(std::span<const std::uint8_t> image) : m_data(image.data()) {
        m_samples.reserve(image.size() / (kSampleSpacing / 4));
    }

    void Add(std::size_t stream, std::size_t pos, std::uint64_t low) {
        if (IsRun(low)) {
            return;
        }
        const std::uint64_t high = Load(m_data + pos + 8);
        Recent& recent = m_recent[stream];
        bool repeated = false;
        for (std::size_t k = 0; k < std::min(recent.count, kRecentSamples); ++k) {
            const RecentGram& earlier = recent.grams[k];
            if (earlier.low == low && earlier.high == high) {
                m_samples[earlier.index].key |= kRepeated;
                repeated = true;
            }
        }
        if (repeated) {
            return;
        }
        recent.grams[recent.count % kRecentSamples] = {low, high, m_samples.size()};
        ++recent.count;
        m_samples.push_back({GramKey(low, high), static_cast<std::uint32_t>(pos)});
    }

    std::vector<GramSample>& Samples() { return m_samples; }

private:
    struct RecentGram {
        std::uint64_t low;
        std::uint64_t high;
        std::size_t index;
    };
    struct Recent {
        std::array<RecentGram, kRecentSamples> grams{};
        std::size_t count = 0;
    };

    const std::uint8_t* m_data;
    std::vector<GramSample> m_samples;
    std::array<Recent, kMaximumTriggers> m_recent{};
};

} // namespace

// Values rarer than one in kSampleSpacing, the most common of them first, until together they reach about
// that share; where every value is more common than that (packed or random data), the rarest one.
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

std::vector<GramSample> UniqueSamples(std::span<const std::uint8_t> image, const SamplePlan& plan, ByteScans scans) {
    if (image.size() < kAnchorLength) {
        return {};
    }
    const std::uint8_t* data = image.data();
    // Grams start at [0, end).
    const std::size_t end = image.size() - kAnchorLength + 1;
    Sampler sampler(image);
    std::vector<std::uint32_t> places(std::min(kScanBlock, end));
    if (plan.zeroClusters) {
        for (std::size_t from = 0; from < end; from += kScanBlock) {
            const std::size_t found = scans.zeroEnds(image, from, std::min(end, from + kScanBlock), places.data());
            for (std::size_t k = 0; k < found; ++k) {
                const std::size_t pos = places[k];
                const std::uint64_t low = Load(data + pos);
                if (plan.clusterBits == 0 || (low * kSampleHash) >> (64 - plan.clusterBits) == 0) {
                    sampler.Add(0, pos, low);
                }
            }
        }
    } else if (!plan.triggers.empty()) {
        ScanValues values;
        std::array<std::uint8_t, 256> streamOf{};
        for (std::size_t k = 0; k < plan.triggers.size() && k < kMaximumTriggers; ++k) {
            values.values[values.count++] = plan.triggers[k];
            streamOf[plan.triggers[k]] = static_cast<std::uint8_t>(k);
        }
        for (std::size_t from = 0; from < end; from += kScanBlock) {
            const std::size_t found =
                scans.values(image, from, std::min(end, from + kScanBlock), values, places.data());
            for (std::size_t k = 0; k < found; ++k) {
                const std::size_t pos = places[k];
                sampler.Add(streamOf[data[pos]], pos, Load(data + pos));
            }
        }
    }
    std::vector<GramSample>& samples = sampler.Samples();
    // Grams of one key together (two radix passes; a sample that repeated has the key's lowest bit set, so
    // it follows the others of its key), then the grams of each key in order of their bytes.
    RadixSortBy(samples, [](const GramSample& sample) { return sample.key; });
    // Kept in place: a fresh vector of a few megabytes costs its page faults.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < samples.size();) {
        const std::uint32_t key = samples[i].key & ~kRepeated;
        std::size_t j = i + 1;
        while (j < samples.size() && (samples[j].key & ~kRepeated) == key) {
            ++j;
        }
        if (j == i + 1) {
            if ((samples[i].key & kRepeated) == 0) {
                samples[kept++] = samples[i];
            }
            i = j;
            continue;
        }
        // Equal keys: mostly the same gram at several places, now and then grams whose hashes agree.
        const auto first = samples.begin() + static_cast<std::ptrdiff_t>(i);
        const auto last = samples.begin() + static_cast<std::ptrdiff_t>(j);
        std::sort(first, last, [&](const GramSample& a, const GramSample& b) {
            std::uint64_t gramA[2];
            std::uint64_t gramB[2];
            std::memcpy(gramA, data + a.offset, sizeof gramA);
            std::memcpy(gramB, data + b.offset, sizeof gramB);
            if (gramA[0] != gramB[0]) {
                return gramA[0] < gramB[0];
            }
            return gramA[1] != gramB[1] ? gramA[1] < gramB[1] : a.offset < b.offset;
        });
        for (std::size_t k = i; k < j;) {
            std::size_t same = k + 1;
            while (same < j && std::memcmp(data + samples[same].offset, data + samples[k].offset, kAnchorLength) == 0) {
                ++same;
            }
            if (same == k + 1 && (samples[k].key & kRepeated) == 0) {
                samples[kept++] = samples[k];
            }
            k = same;
        }
        i = j;
    }
    samples.resize(kept);
    return std::move(samples);
}

} // namespace dovra::detail
