#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bench/generator.h"
#include "locate/similarity.h"

namespace dovra::detail {
namespace {

using bench::DataStyle;
using bench::GeneratedCase;
using bench::TableFate;

// The best agreement within the similarity window around `base`, as the locator scores a place.
std::optional<std::uint32_t> BestNear(std::span<const std::uint8_t> table, std::span<const std::uint8_t> image,
                                      std::int64_t base, const FillerBytes& filler) {
    std::optional<std::uint32_t> best;
    for (std::int64_t start = base - kSimilarWindow; start <= base + std::int64_t{kSimilarWindow}; ++start) {
        if (start < 0 || static_cast<std::uint64_t>(start) + table.size() > image.size()) {
            continue;
        }
        const auto percent = AgreementPercent(table, image.data() + start, filler);
        if (percent && (!best || *percent > *best)) {
            best = percent;
        }
    }
    return best;
}

struct Scores {
    std::vector<std::uint32_t> changed; // a changed table at its true place
    std::vector<std::uint32_t> other;   // the best place near where a removed table stood, or far from any
};

std::string Quantiles(std::vector<std::uint32_t> values) {
    if (values.empty()) {
        return "none";
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](std::size_t permille) { return std::to_string(values[(values.size() - 1) * permille / 1000]); };
    return "n " + std::to_string(values.size()) + " min " + at(0) + " 1% " + at(10) + " median " + at(500) + " 99% " +
           at(990) + " max " + at(1000);
}

// The threshold rests on these figures: changed tables at their true place score far above it, the best
// place near a removed table's old place or near a random place far below, in both styles of binary.
TEST(SimilarityTest, ThresholdSeparatesChangedTablesFromOtherBytes) {
    for (DataStyle style : {DataStyle::Realistic, DataStyle::ZeroHeavy}) {
        Scores scores;
        for (std::uint64_t seed : {21u, 22u}) {
            bench::GeneratorOptions options;
            options.style = style;
            options.seed = seed;
            options.imageSize = 4u << 20;
            options.tableCount = 200;
            options.maxRecordCount = 100;
            options.changedPercent = 25;
            options.removedPercent = 25;
            const GeneratedCase generated = bench::Generate(options);
            const FillerBytes filler(generated.newImage);
            std::mt19937 random(static_cast<std::uint32_t>(seed));
            for (const bench::GeneratedTable& table : generated.tables) {
                const std::span<const std::uint8_t> bytes(generated.oldImage.data() + table.oldAddress, table.Size());
                if (table.fate == TableFate::Changed) {
                    if (const auto percent =
                            AgreementPercent(bytes, generated.newImage.data() + table.newAddress, filler)) {
                        scores.changed.push_back(*percent);
                    }
                } else if (table.fate == TableFate::Removed) {
                    if (const auto percent = BestNear(bytes, generated.newImage, table.newAddress, filler)) {
                        scores.other.push_back(*percent);
                    }
                }
                if (table.Size() < generated.newImage.size()) {
                    const std::int64_t anywhere = random() % (generated.newImage.size() - table.Size());
                    if (const auto percent = BestNear(bytes, generated.newImage, anywhere, filler)) {
                        scores.other.push_back(*percent);
                    }
                }
            }
        }
        std::printf("%s: changed %s; other %s\n", style == DataStyle::Realistic ? "realistic" : "zero-heavy",
                    Quantiles(scores.changed).c_str(), Quantiles(scores.other).c_str());
        ASSERT_FALSE(scores.changed.empty());
        ASSERT_FALSE(scores.other.empty());
        EXPECT_GE(*std::min_element(scores.changed.begin(), scores.changed.end()), kSimilarPercent);
        // Bytes that match by chance stay well clear: a margin against data the generator does not make.
        EXPECT_LE(*std::max_element(scores.other.begin(), scores.other.end()) + 20, kSimilarPercent);
    }
}

using Bytes = std::vector<std::uint8_t>;

Bytes Words(const std::vector<std::uint32_t>& words) {
    Bytes bytes;
    for (std::uint32_t word : words) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(word >> shift));
        }
    }
    return bytes;
}

TEST(SimilarityTest, CountsOnlyBytesThatAreNotTheImagesFiller) {
    Bytes image(1u << 16, 0);
    for (std::size_t i = 0; i < image.size(); i += 7) {
        image[i] = static_cast<std::uint8_t>(i % 251 + 1);
    }
    const FillerBytes filler(image);
    EXPECT_TRUE(filler.IsFiller(0));
    EXPECT_FALSE(filler.IsFiller(0x41));

    const Bytes zeros(256, 0);
    EXPECT_FALSE(AgreementPercent(zeros, zeros.data(), filler));
    // Fifteen informative bytes among zeros are too few to say anything, sixteen enough.
    Bytes sparse(256, 0);
    for (std::size_t i = 0; i < 15; ++i) {
        sparse[i * 16] = 0x41;
    }
    EXPECT_FALSE(AgreementPercent(sparse, sparse.data(), filler));
    sparse[250] = 0x42;
    EXPECT_EQ(AgreementPercent(sparse, sparse.data(), filler), 100u);
    // Zeros where the table has its informative bytes agree with nothing.
    EXPECT_EQ(AgreementPercent(sparse, zeros.data(), filler), 0u);
}

TEST(SimilarityTest, CountsPointersMovedByOneSharedAmount) {
    const Bytes image(1u << 16, 0);
    const FillerBytes filler(image);
    std::vector<std::uint32_t> oldWords;
    std::vector<std::uint32_t> moved;
    std::vector<std::uint32_t> scattered;
    std::mt19937 random(5);
    for (std::uint32_t i = 0; i < 32; ++i) {
        oldWords.push_back(0x08123400u + i * 0x44u);
        moved.push_back(oldWords.back() + 0x1C0u);
        scattered.push_back(oldWords.back() + random() % 0x1000u + 1);
    }
    const Bytes table = Words(oldWords);
    EXPECT_EQ(AgreementPercent(table, Words(moved).data(), filler), 100u);
    // Each by its own amount: only the bytes that stayed equal agree.
    EXPECT_LT(*AgreementPercent(table, Words(scattered).data(), filler), kSimilarPercent);
    // Pointers into two regions, each moved by its own amount.
    std::vector<std::uint32_t> twoRegions = oldWords;
    for (std::size_t i = 0; i < twoRegions.size(); ++i) {
        twoRegions[i] += i < 16 ? 0x1C0u : 0xFFFFF000u;
    }
    EXPECT_EQ(AgreementPercent(table, Words(twoRegions).data(), filler), 100u);
    // Three moved pointers are no pattern.
    std::vector<std::uint32_t> few = oldWords;
    for (std::size_t i = 0; i < few.size(); ++i) {
        few[i] = i < 3 ? few[i] + 0x1C0u : 0x5A5A5A5Au + static_cast<std::uint32_t>(i) * 0x01010101u;
    }
    EXPECT_LT(*AgreementPercent(table, Words(few).data(), filler), 30u);
}

// Moved pointers counted as plainly as possible: every amount's words counted in a map.
std::uint32_t PlainMovedPointerBytes(const Bytes& table, const Bytes& place, const FillerBytes& filler) {
    const auto word = [](const Bytes& bytes, std::size_t at) {
        return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
               std::uint32_t{bytes[at + 3]} << 24;
    };
    std::uint32_t best = 0;
    for (std::size_t phase = 0; phase < 4 && phase + 4 <= table.size(); ++phase) {
        std::map<std::uint32_t, std::size_t> words;
        std::size_t changed = 0;
        for (std::size_t at = phase; at + 4 <= table.size(); at += 4) {
            const std::uint32_t before = word(table, at);
            const std::uint32_t after = word(place, at);
            if (before != after && before >= 0x10000u && after >= 0x10000u) {
                ++words[after - before];
                ++changed;
            }
        }
        std::uint32_t bytes = 0;
        for (std::size_t at = phase; at + 4 <= table.size(); at += 4) {
            const std::uint32_t before = word(table, at);
            const std::uint32_t after = word(place, at);
            if (before == after || before < 0x10000u || after < 0x10000u) {
                continue;
            }
            const std::size_t sharing = words[after - before];
            if (sharing >= kMinimumMovedPointers && sharing * kMovedPointerShare >= changed) {
                for (std::size_t k = at; k < at + 4; ++k) {
                    bytes += !filler.IsFiller(table[k]) && place[k] != table[k] ? 1 : 0;
                }
            }
        }
        best = std::max(best, bytes);
    }
    return best;
}

// Amounts shared by just enough words, or one word too few, among words moved by chance by amounts with
// the same low byte: the agreement is what plain counting gives.
TEST(SimilarityTest, CountsSharedAmountsAsPlainCountingDoes) {
    const FillerBytes filler(Bytes(1u << 16, 0));
    std::mt19937 random(21);
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        const std::size_t words = 8 + random() % 120;
        std::vector<std::uint32_t> oldWords(words);
        for (auto& w : oldWords) {
            w = random() % 4 == 0 ? random() % 0x10000u : 0x10000u + random() % 0x7FFF0000u;
        }
        std::vector<std::uint32_t> newWords = oldWords;
        // A few amounts, some with one low byte in common, each given to some of the words.
        const std::uint32_t low = random() % 256;
        std::vector<std::uint32_t> amounts;
        for (int k = 0; k < 4; ++k) {
            amounts.push_back((random() % 0x100000u) << 8 | (random() % 2 == 0 ? low : random() % 256));
        }
        for (auto& w : newWords) {
            const std::uint32_t pick = random() % 8;
            if (pick < amounts.size()) {
                w += amounts[pick];
            } else if (pick == 4) {
                w = random();
            }
        }
        Bytes table = Words(oldWords);
        // At every phase: tables whose length is not a multiple of four too.
        table.resize(table.size() - random() % 4);
        Bytes place = Words(newWords);
        place.resize(table.size());
        struct Plain {
            std::uint32_t informative;
            std::uint32_t agreeing;
        };
        const Plain plain = [&] {
            std::uint32_t informative = 0;
            std::uint32_t agreeing = 0;
            for (std::size_t i = 0; i < table.size(); ++i) {
                if (!filler.IsFiller(table[i])) {
                    ++informative;
                    agreeing += place[i] == table[i] ? 1 : 0;
                }
            }
            return Plain{informative, agreeing + PlainMovedPointerBytes(table, place, filler)};
        }();
        const std::optional<std::uint32_t> percent = AgreementPercent(table, place.data(), filler);
        if (plain.informative < kMinimumInformative) {
            EXPECT_FALSE(percent);
        } else {
            EXPECT_EQ(percent, plain.agreeing * 100 / plain.informative);
        }
    }
}

// A table of pointers into two regions, every pointer moved: one word on, the second region's pointers
// (records four bytes apart, moved by 0x1F5FC) differ from the old ones by 0x1F600 and keep their low
// byte, so that place has more equal bytes than the true one. The moved pointers decide, not equal bytes.
TEST(SimilarityTest, PlacesAMovedPointerTableWhereItsPointersMovedNotAWordOff) {
    std::vector<std::uint32_t> oldWords;
    std::vector<std::uint32_t> newWords;
    for (std::uint32_t i = 0; i < 12; ++i) {
        oldWords.push_back(0x03031D45u + i * 0x11u);
        newWords.push_back(oldWords.back() + 0x1216u);
    }
    for (std::uint32_t i = 0; i < 24; ++i) {
        oldWords.push_back(0x0876A89Cu + i * 4u);
        newWords.push_back(oldWords.back() + 0x1F5FCu);
    }
    Bytes image(1u << 16, 0);
    std::mt19937 random(13);
    constexpr std::size_t kAt = 0x8000;
    for (std::size_t i = kAt - 256; i < kAt + 512; ++i) {
        image[i] = static_cast<std::uint8_t>(random());
    }
    const Bytes moved = Words(newWords);
    std::copy(moved.begin(), moved.end(), image.begin() + kAt);
    const FillerBytes filler(image);
    const Bytes table = Words(oldWords);
    // The neighbourhood's estimate a few bytes short of the true place, as an edit right before it gives.
    for (std::int64_t base : {std::int64_t{kAt} - 3, std::int64_t{kAt}, std::int64_t{kAt} + 2}) {
        SCOPED_TRACE(base);
        const std::optional<SimilarMatch> found = FindSimilar(table, image, base, filler);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->offset, kAt);
        EXPECT_EQ(found->percent, 99u);
    }
}

} // namespace
} // namespace dovra::detail
