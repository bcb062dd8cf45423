#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "bench/generator.h"
#include "locate/byte_scan.h"
#include "locate/gram_sampling.h"
#include "locate/image_alignment.h"

namespace dovra::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint64_t Load(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

struct Sample {
    std::uint64_t low;
    std::uint64_t high;
    std::uint32_t offset;
    bool repeated;
};

// The sampler as it was with one memchr pass per trigger value: each value's places form a stream of their
// own, with its own recent samples. The one-pass sampler must keep exactly the grams this one keeps.
std::vector<Sample> ReferenceSamples(const Bytes& image, const SamplePlan& plan) {
    if (image.size() < kAnchorLength) {
        return {};
    }
    const std::uint8_t* data = image.data();
    const std::size_t last = image.size() - kAnchorLength;
    std::vector<Sample> samples;
    std::vector<std::size_t> recent;
    const auto add = [&](std::size_t pos) {
        const std::uint64_t low = Load(data + pos);
        if (low == (low & 0xFF) * 0x0101010101010101ull) {
            return;
        }
        const std::uint64_t high = Load(data + pos + 8);
        bool repeated = false;
        for (std::size_t k = recent.size() > 16 ? recent.size() - 16 : 0; k < recent.size(); ++k) {
            Sample& earlier = samples[recent[k]];
            if (earlier.low == low && earlier.high == high) {
                earlier.repeated = true;
                repeated = true;
            }
        }
        if (!repeated) {
            recent.push_back(samples.size());
            samples.push_back({low, high, static_cast<std::uint32_t>(pos), false});
        }
    };
    if (plan.zeroClusters) {
        for (std::size_t pos = 0; pos <= last; ++pos) {
            if (data[pos] != 0 && (pos == 0 || data[pos - 1] == 0) &&
                (plan.clusterBits == 0 || (Load(data + pos) * 0x9E3779B97F4A7C15ull) >> (64 - plan.clusterBits) == 0)) {
                add(pos);
            }
        }
    }
    for (std::uint8_t trigger : plan.triggers) {
        recent.clear();
        for (const void* hit = std::memchr(data, trigger, last + 1); hit != nullptr;) {
            const auto pos = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
            hit = pos < last ? std::memchr(data + pos + 1, trigger, last - pos) : nullptr;
            add(pos);
        }
    }
    // Grams that occur once and never repeated.
    std::sort(samples.begin(), samples.end(),
              [](const Sample& a, const Sample& b) { return a.low != b.low ? a.low < b.low : a.high < b.high; });
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

// The same grams at the same places, each key the hash of its gram, in GramLess order without equal ones.
void ExpectSameSamples(const Bytes& image, const std::vector<Sample>& expected, const std::vector<GramSample>& actual) {
    std::vector<std::uint32_t> expectedOffsets;
    for (const Sample& sample : expected) {
        expectedOffsets.push_back(sample.offset);
    }
    std::vector<std::uint32_t> actualOffsets;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        actualOffsets.push_back(actual[i].offset);
        ASSERT_EQ(actual[i].key,
                  GramKey(Load(image.data() + actual[i].offset), Load(image.data() + actual[i].offset + 8)))
            << i;
        if (i > 0) {
            ASSERT_TRUE(GramLess(actual[i - 1], image.data(), actual[i], image.data())) << i;
        }
    }
    std::sort(expectedOffsets.begin(), expectedOffsets.end());
    std::sort(actualOffsets.begin(), actualOffsets.end());
    EXPECT_EQ(expectedOffsets, actualOffsets);
}

// Random bytes over a small alphabet with stretches of zeros and blocks copied from nearby, so that
// grams repeat close together (patterns), far apart (duplicates) and at every trigger value.
Bytes Patterned(std::size_t size, std::uint32_t seed, std::uint32_t alphabet) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (std::size_t i = 0; i < size;) {
        const std::uint32_t kind = random() % 8;
        const std::size_t length = std::min<std::size_t>(size - i, 1 + random() % 300);
        if (kind == 0) {
            std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(i), length, std::uint8_t{0});
        } else if (kind == 1 && i > 4096) {
            const std::size_t from = i - 1 - random() % 4096;
            for (std::size_t k = 0; k < length; ++k) {
                bytes[i + k] = bytes[from + k];
            }
        } else {
            for (std::size_t k = 0; k < length; ++k) {
                bytes[i + k] = static_cast<std::uint8_t>(random() % alphabet);
            }
        }
        i += length;
    }
    return bytes;
}

std::vector<std::uint32_t> PlainValueHits(const Bytes& data, std::size_t from, std::size_t to,
                                          const ScanValues& values) {
    std::vector<std::uint32_t> hits;
    for (std::size_t x = from; x < to; ++x) {
        if (std::find(values.values, values.values + values.count, data[x]) != values.values + values.count) {
            hits.push_back(static_cast<std::uint32_t>(x));
        }
    }
    return hits;
}

std::vector<std::uint32_t> PlainZeroEndHits(const Bytes& data, std::size_t from, std::size_t to) {
    std::vector<std::uint32_t> hits;
    for (std::size_t x = from; x < to; ++x) {
        if (data[x] != 0 && (x == 0 || data[x - 1] == 0)) {
            hits.push_back(static_cast<std::uint32_t>(x));
        }
    }
    return hits;
}

TEST(ByteScanTest, EveryScanFindsThePlacesAPlainLoopFinds) {
    const Bytes data = Patterned(20000, 5, 24);
    // Ranges that start and end at every offset into a vector, empty ones and the whole data.
    std::vector<std::pair<std::size_t, std::size_t>> ranges = {{0, 0}, {0, data.size()}, {1, data.size() - 1}};
    for (std::size_t from = 0; from < 70; from += 3) {
        for (std::size_t length : {0u, 1u, 15u, 31u, 32u, 33u, 63u, 64u, 65u, 200u, 1001u}) {
            ranges.push_back({from, from + length});
            ranges.push_back({data.size() - from - length, data.size() - from});
        }
    }
    std::vector<ScanValues> valueSets(4);
    valueSets[1] = {{0, 0, 0}, 1};
    valueSets[2] = {{3, 17, 0}, 2};
    valueSets[3] = {{23, 1, 9}, 3};
    for (const ByteScans& scans : AvailableByteScans()) {
        for (const auto& [from, to] : ranges) {
            std::vector<std::uint32_t> hits(to - from + 1);
            for (const ScanValues& values : valueSets) {
                const std::size_t found = scans.values(data, from, to, values, hits.data());
                EXPECT_EQ(std::vector<std::uint32_t>(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(found)),
                          PlainValueHits(data, from, to, values))
                    << from << ".." << to << ", " << values.count << " values";
            }
            const std::size_t found = scans.zeroEnds(data, from, to, hits.data());
            EXPECT_EQ(std::vector<std::uint32_t>(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(found)),
                      PlainZeroEndHits(data, from, to))
                << from << ".." << to;
        }
    }
    // Every byte a hit, and long stretches of zeros that end just before, at and after a vector's end.
    const Bytes dense(300, 9);
    Bytes zeros(4096, 0);
    for (std::size_t at : {0u, 31u, 32u, 63u, 64u, 65u, 127u, 128u, 1000u, 4095u}) {
        zeros[at] = 1;
    }
    for (const ByteScans& scans : AvailableByteScans()) {
        std::vector<std::uint32_t> hits(zeros.size());
        const ScanValues nine = {{9, 0, 0}, 1};
        EXPECT_EQ(scans.values(dense, 0, dense.size(), nine, hits.data()), dense.size());
        EXPECT_EQ(scans.zeroEnds(dense, 0, dense.size(), hits.data()), 1u);
        const std::size_t found = scans.zeroEnds(zeros, 0, zeros.size(), hits.data());
        EXPECT_EQ(std::vector<std::uint32_t>(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(found)),
                  PlainZeroEndHits(zeros, 0, zeros.size()));
    }
}

// The places of all trigger values found in one pass, each value's repeats looked for among its own recent
// samples, keep the grams one pass per value kept.
TEST(GramSamplingTest, OnePassKeepsTheGramsOfOnePassPerValue) {
    std::vector<std::pair<Bytes, SamplePlan>> cases;
    for (std::uint32_t alphabet : {6u, 40u, 256u}) {
        const Bytes bytes = Patterned(300000 + alphabet, alphabet, alphabet);
        for (const std::vector<std::uint8_t>& triggers :
             {std::vector<std::uint8_t>{1}, std::vector<std::uint8_t>{2, 5}, std::vector<std::uint8_t>{5, 1, 3},
              std::vector<std::uint8_t>{0, 4, 250}, std::vector<std::uint8_t>{}}) {
            SamplePlan plan;
            plan.triggers = triggers;
            cases.push_back({bytes, plan});
        }
        for (int bits : {0, 1, 3}) {
            SamplePlan plan;
            plan.zeroClusters = true;
            plan.clusterBits = bits;
            cases.push_back({bytes, plan});
        }
    }
    // The plans the alignment chooses for generated binaries, both images of each.
    for (bench::DataStyle style : {bench::DataStyle::Realistic, bench::DataStyle::ZeroHeavy}) {
        for (std::uint32_t mib : {1u, 4u}) {
            bench::GeneratorOptions options;
            options.style = style;
            options.imageSize = mib << 20;
            options.tableCount = 200;
            options.seed = mib;
            options.pointerPercent = 10;
            options.repeatedPercent = 5;
            bench::GeneratedCase generated = bench::Generate(options);
            const SamplePlan plan = ChoosePlan(ProfileBytes(generated.newImage, 1));
            cases.push_back({std::move(generated.oldImage), plan});
            cases.push_back({std::move(generated.newImage), plan});
        }
    }
    // Images shorter than a gram, one gram long and a little longer.
    for (std::size_t size : {0u, 15u, 16u, 17u, 40u}) {
        SamplePlan plan;
        plan.triggers = {1, 2};
        cases.push_back({Patterned(size, 3, 4), plan});
    }
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const auto& [image, plan] = cases[c];
        const std::vector<Sample> expected = ReferenceSamples(image, plan);
        if (image.size() > 100000 && (plan.zeroClusters || !plan.triggers.empty())) {
            EXPECT_FALSE(expected.empty()) << c;
        }
        for (const ByteScans& scans : AvailableByteScans()) {
            SCOPED_TRACE(c);
            ExpectSameSamples(image, expected, UniqueSamples(image, plan, scans));
        }
    }
}

} // namespace
} // namespace dovra::detail

namespace dovra::detail {
namespace {

using Gram = std::array<std::uint8_t, kAnchorLength>;

std::uint32_t KeyOf(const Gram& gram) {
    return GramKey(Load(gram.data()), Load(gram.data() + 8));
}

// Pairs of different grams, each starting with `first`, whose keys agree: the hashes of enough random
// grams meet by the birthday rule.
std::vector<std::pair<Gram, Gram>> CollidingGrams(std::uint8_t first, std::size_t wanted) {
    std::mt19937 random(11);
    std::vector<std::pair<std::uint32_t, Gram>> grams(std::size_t{1} << 19);
    for (auto& [key, gram] : grams) {
        gram[0] = first;
        for (std::size_t i = 1; i < gram.size(); ++i) {
            gram[i] = static_cast<std::uint8_t>(random() % 200);
        }
        key = KeyOf(gram);
    }
    std::sort(grams.begin(), grams.end());
    std::vector<std::pair<Gram, Gram>> colliding;
    for (std::size_t i = 1; i < grams.size() && colliding.size() < wanted; ++i) {
        if (grams[i].first == grams[i - 1].first && grams[i].second != grams[i - 1].second) {
            colliding.push_back({grams[i - 1].second, grams[i].second});
        }
    }
    return colliding;
}

// Grams whose keys agree by chance are told apart by their bytes: a gram that stands in the new image where
// an old one with the same key stood is no anchor, and two such grams in each image pair up each with its own.
TEST(GramSamplingTest, GramsWhoseKeysAgreeAreToldApartByTheirBytes) {
    constexpr std::uint8_t kTrigger = 0xF0;
    const std::vector<std::pair<Gram, Gram>> colliding = CollidingGrams(kTrigger, 4);
    ASSERT_EQ(colliding.size(), 4u);
    // Filler that never holds the trigger, with grams every 4 KiB: unique random ones, and where k is 10, 20,
    // 30 and 40 the colliding ones. The new image is the old one 300 bytes later.
    std::mt19937 random(12);
    Bytes old(1u << 20);
    for (auto& b : old) {
        b = static_cast<std::uint8_t>(random() % 200);
    }
    Bytes edited(300, 7);
    const auto put = [](Bytes& image, std::size_t at, const Gram& gram) {
        std::copy(gram.begin(), gram.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    };
    std::vector<std::size_t> places;
    for (std::size_t k = 0; k < 200; ++k) {
        places.push_back(k * 4096 + 100);
        Gram gram{kTrigger};
        for (std::size_t i = 1; i < gram.size(); ++i) {
            gram[i] = static_cast<std::uint8_t>(random() % 200);
        }
        put(old, places.back(), gram);
    }
    edited.insert(edited.end(), old.begin(), old.end());
    // Old holds the first gram of a colliding pair where the new image holds the second.
    put(old, places[10], colliding[0].first);
    put(edited, places[10] + 300, colliding[0].second);
    put(old, places[20], colliding[1].first);
    put(edited, places[20] + 300, colliding[1].second);
    // Both grams of a colliding pair in each image, in the same order and in the opposite one.
    put(old, places[30], colliding[2].first);
    put(old, places[31], colliding[2].second);
    put(edited, places[30] + 300, colliding[2].first);
    put(edited, places[31] + 300, colliding[2].second);
    put(old, places[40], colliding[3].second);
    put(old, places[41], colliding[3].first);
    put(edited, places[40] + 300, colliding[3].second);
    put(edited, places[41] + 300, colliding[3].first);

    const SamplePlan plan = ChoosePlan(ProfileBytes(edited, 1));
    ASSERT_EQ(plan.triggers, std::vector<std::uint8_t>{kTrigger});
    for (const ByteScans& scans : AvailableByteScans()) {
        ExpectSameSamples(old, ReferenceSamples(old, plan), UniqueSamples(old, plan, scans));
        ExpectSameSamples(edited, ReferenceSamples(edited, plan), UniqueSamples(edited, plan, scans));
    }
    const ImageAlignment alignment(old, edited, {}, 1);
    std::vector<std::uint32_t> anchored;
    for (const AnchorPair& anchor : alignment.Anchors()) {
        EXPECT_EQ(anchor.newOffset, anchor.oldOffset + 300);
        anchored.push_back(anchor.oldOffset);
    }
    std::vector<std::uint32_t> expected;
    for (std::size_t k = 0; k < places.size(); ++k) {
        if (k != 10 && k != 20) {
            expected.push_back(static_cast<std::uint32_t>(places[k]));
        }
    }
    EXPECT_EQ(anchored, expected);
}

} // namespace
} // namespace dovra::detail
