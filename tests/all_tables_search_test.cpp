#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bench/generator.h"
#include "locate/all_tables_search.h"
#include "locate/anchor_filter.h"
#include "locate/table_search.h"

namespace dovra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Needles = std::vector<std::span<const std::uint8_t>>;
using bench::DataStyle;
using bench::GeneratorOptions;
using detail::SearchTuning;

// Small strides make short tables go through the sampled search too, a block size that is no multiple of
// any stride puts samples on block edges, a tiny budget sends many tables to the search on their own
// half-way through the scan, and the haystack is split between two threads however small it is. Without
// strides every table goes to the anchor scan. None of that may change a result.
SearchTuning Stressed(std::vector<std::size_t> strides = {16, 4, 2}) {
    SearchTuning tuning;
    tuning.strides = std::move(strides);
    tuning.blockSize = 1000;
    tuning.haystackBytesPerBudgetByte = 1u << 30;
    tuning.minimumBudget = 300;
    tuning.minimumBytesPerThread = 0;
    return tuning;
}

// Every table to the anchor scan, and the haystack split between two threads however small it is.
SearchTuning AnchorsOnlyInTwo() {
    SearchTuning tuning;
    tuning.strides = {};
    tuning.minimumBytesPerThread = 0;
    return tuning;
}

SearchTuning OneThread() {
    SearchTuning tuning;
    tuning.threads = 1;
    return tuning;
}

SearchTuning TwoThreads() {
    SearchTuning tuning;
    tuning.minimumBytesPerThread = 0;
    return tuning;
}

Needles TableBytes(const bench::GeneratedCase& generated) {
    Needles needles;
    for (const auto& table : generated.tables) {
        needles.push_back(std::span(generated.oldImage).subspan(table.oldAddress, table.Size()));
    }
    return needles;
}

struct GeneratedCaseParam {
    const char* label;
    GeneratorOptions options;
};

void PrintTo(const GeneratedCaseParam& param, std::ostream* out) {
    *out << param.label << " seed " << param.options.seed;
}

GeneratorOptions Options(std::uint64_t seed, std::uint32_t imageSize, std::uint32_t tables, std::uint32_t maxRecordSize,
                         std::uint32_t maxRecordCount, DataStyle style, std::uint32_t minRecordSize = 4) {
    GeneratorOptions options;
    options.seed = seed;
    options.imageSize = imageSize;
    options.tableCount = tables;
    options.minRecordSize = minRecordSize;
    options.maxRecordSize = maxRecordSize;
    options.maxRecordCount = maxRecordCount;
    options.changedPercent = 10;
    options.removedPercent = 10;
    options.style = style;
    return options;
}

class GeneratedCases : public ::testing::TestWithParam<GeneratedCaseParam> {};

// The plain method is the definition of the right answer; the generator's own record of where each kept
// table went bounds it from above (the same bytes may also stand lower down).
TEST_P(GeneratedCases, EveryTableIsFoundWhereThePlainSearchFindsIt) {
    const bench::GeneratedCase generated = bench::Generate(GetParam().options);
    const Needles needles = TableBytes(generated);
    const auto expected = FindLowestOffsetsNaive(generated.newImage, needles);
    for (std::size_t i = 0; i < needles.size(); ++i) {
        if (generated.tables[i].fate == bench::TableFate::Kept) {
            ASSERT_TRUE(expected[i].has_value()) << "table " << i;
            EXPECT_LE(*expected[i], generated.tables[i].newAddress) << "table " << i;
        }
    }
    EXPECT_EQ(detail::FindLowestOffsets(generated.newImage, needles, OneThread()), expected);
    EXPECT_EQ(detail::FindLowestOffsets(generated.newImage, needles, TwoThreads()), expected);
    EXPECT_EQ(detail::FindLowestOffsets(generated.newImage, needles, Stressed()), expected);
    EXPECT_EQ(detail::FindLowestOffsets(generated.newImage, needles, AnchorsOnlyInTwo()), expected);
    // The count that gives the lowest matches where it saw them all, below the cap and at it.
    for (std::uint32_t cap : {2u, 100u}) {
        EXPECT_EQ(detail::FindAndCountMatches(generated.newImage, needles, cap, OneThread()).lowest, expected);
        EXPECT_EQ(detail::FindAndCountMatches(generated.newImage, needles, cap, Stressed()).lowest, expected);
        EXPECT_EQ(detail::FindAndCountMatches(generated.newImage, needles, cap, AnchorsOnlyInTwo()).lowest, expected);
    }
}

constexpr std::uint32_t kKiB = 1024;

INSTANTIATE_TEST_SUITE_P(
    Seeds, GeneratedCases,
    ::testing::Values(GeneratedCaseParam{"realistic", Options(1, 256 * kKiB, 40, 256, 200, DataStyle::Realistic)},
                      GeneratedCaseParam{"realistic", Options(2, 512 * kKiB, 120, 64, 300, DataStyle::Realistic)},
                      GeneratedCaseParam{"realistic", Options(3, 1024 * kKiB, 60, 256, 5000, DataStyle::Realistic)},
                      GeneratedCaseParam{"short tables", Options(4, 64 * kKiB, 150, 12, 3, DataStyle::Realistic, 1)},
                      GeneratedCaseParam{"short tables", Options(5, 128 * kKiB, 200, 8, 6, DataStyle::Realistic, 1)},
                      GeneratedCaseParam{"zero-heavy", Options(6, 64 * kKiB, 40, 64, 32, DataStyle::ZeroHeavy)},
                      GeneratedCaseParam{"zero-heavy", Options(7, 256 * kKiB, 60, 16, 64, DataStyle::ZeroHeavy, 1)},
                      GeneratedCaseParam{"zero-heavy", Options(8, 128 * kKiB, 100, 4, 4, DataStyle::ZeroHeavy, 1)}));

TEST(GeneratedData, SameOptionsGiveTheSameBytes) {
    const GeneratorOptions options = Options(9, 64 * kKiB, 20, 64, 50, DataStyle::Realistic);
    const bench::GeneratedCase first = bench::Generate(options);
    const bench::GeneratedCase second = bench::Generate(options);
    EXPECT_EQ(first.oldImage, second.oldImage);
    EXPECT_EQ(first.newImage, second.newImage);
    ASSERT_EQ(first.tables.size(), 20u);
    EXPECT_EQ(bench::DefinitionFileText(first.tables[3]), bench::DefinitionFileText(second.tables[3]));
}

// Small alphabets make partial matches and overlapping occurrences common, and periodic needles repeat
// their grams at many offsets: the cases where a match found first is not the lowest.
Bytes RandomBytes(std::mt19937& random, std::size_t size, int alphabet, int zeroPercent) {
    Bytes bytes(size);
    for (auto& b : bytes) {
        b = static_cast<int>(random() % 100) < zeroPercent ? 0
                                                           : static_cast<std::uint8_t>((random() % alphabet) * 37 + 1);
    }
    return bytes;
}

TEST(AllTablesSearch, AgreesWithThePlainSearchOnRepetitiveData) {
    std::mt19937 random(11);
    for (int round = 0; round < 60; ++round) {
        const int alphabet = 1 + round % 3;
        const int zeroPercent = (round % 4) * 30;
        const Bytes haystack = RandomBytes(random, 1 + random() % 6000, alphabet, zeroPercent);
        std::vector<Bytes> owned;
        for (int n = 0; n < 30; ++n) {
            if (n % 2 == 0) {
                const std::size_t start = random() % haystack.size();
                const std::size_t length = 1 + random() % std::min<std::size_t>(200, haystack.size() - start);
                owned.emplace_back(haystack.begin() + static_cast<std::ptrdiff_t>(start),
                                   haystack.begin() + static_cast<std::ptrdiff_t>(start + length));
            } else {
                owned.push_back(RandomBytes(random, 1 + random() % 80, alphabet, zeroPercent));
            }
        }
        const Needles needles(owned.begin(), owned.end());
        const auto expected = FindLowestOffsetsNaive(haystack, needles);
        ASSERT_EQ(detail::FindLowestOffsets(haystack, needles, TwoThreads()), expected) << "round " << round;
        ASSERT_EQ(detail::FindLowestOffsets(haystack, needles, Stressed()), expected) << "round " << round;
        ASSERT_EQ(detail::FindLowestOffsets(haystack, needles, Stressed({})), expected) << "round " << round;
    }
}

// A periodic table overlaps itself where its period repeats: occurrences one period apart. Its grams are
// chosen at different offsets for different residues, so the higher occurrence can be read first; the
// search must still wait for the lower one.
TEST(AllTablesSearch, OverlappingOccurrencesOfPeriodicTablesGiveTheLowest) {
    std::mt19937 random(5);
    for (std::size_t period = 9; period <= 90; ++period) {
        Bytes unit(period);
        // Mostly a zero-heavy pattern (grams that sampling avoids) with a short stretch of distinct bytes
        // (the grams it prefers) somewhere in the period.
        const std::size_t stretch = random() % period;
        for (std::size_t i = 0; i < period; ++i) {
            const bool distinct = (i + period - stretch) % period < 6;
            unit[i] = distinct ? static_cast<std::uint8_t>(1 + random() % 255) : (i % 3 == 0 ? 1 : 0);
        }
        Bytes haystack = RandomBytes(random, 500 + random() % 300, 200, 20);
        for (int copy = 0; copy < 8; ++copy) {
            haystack.insert(haystack.end(), unit.begin(), unit.end());
        }
        const Bytes tail = RandomBytes(random, 300, 200, 20);
        haystack.insert(haystack.end(), tail.begin(), tail.end());
        std::vector<Bytes> owned;
        for (std::size_t length :
             {period + 7, 2 * period + 5, 3 * period, std::size_t{70}, std::size_t{71}, std::size_t{140}}) {
            const std::size_t phase = random() % period;
            Bytes needle;
            for (std::size_t i = 0; i < length; ++i) {
                needle.push_back(unit[(i + phase) % period]);
            }
            owned.push_back(needle);
        }
        const Needles needles(owned.begin(), owned.end());
        const auto expected = FindLowestOffsetsNaive(haystack, needles);
        SearchTuning oneStride;
        oneStride.strides = {16};
        ASSERT_EQ(FindLowestOffsets(haystack, needles), expected) << "period " << period;
        ASSERT_EQ(detail::FindLowestOffsets(haystack, needles, oneStride), expected) << "period " << period;
        ASSERT_EQ(detail::FindLowestOffsets(haystack, needles, Stressed()), expected) << "period " << period;
    }
}

// Tables of one byte value repeated are found at the first run of that value long enough for them: runs of
// every length around theirs, of other values, and runs that end at the haystack's end.
TEST(AllTablesSearch, TablesOfOneRepeatedByteFindTheFirstRunLongEnough) {
    std::mt19937 random(8);
    for (int round = 0; round < 40; ++round) {
        Bytes haystack;
        while (haystack.size() < 20000) {
            const std::uint8_t value = (random() % 3 == 0) ? 0xFF : (random() % 2 == 0 ? 0 : 7);
            haystack.insert(haystack.end(), 1 + random() % (round % 2 == 0 ? 40 : 700), value);
            haystack.push_back(static_cast<std::uint8_t>(1 + random() % 6));
        }
        haystack.resize(haystack.size() - random() % 2); // end on a run now and then
        std::vector<Bytes> owned;
        for (std::size_t length : {1, 2, 7, 8, 9, 31, 64, 65, 250, 699, 700, 5000}) {
            for (std::uint8_t value : {0x00, 0xFF, 0x07}) {
                owned.emplace_back(length, value);
            }
        }
        const Needles needles(owned.begin(), owned.end());
        const auto expected = FindLowestOffsetsNaive(haystack, needles);
        ASSERT_EQ(FindLowestOffsets(haystack, needles), expected) << "round " << round;
        ASSERT_EQ(detail::FindLowestOffsets(haystack, needles, Stressed()), expected) << "round " << round;
    }
}

TEST(AllTablesSearch, EdgeCases) {
    Bytes haystack(300);
    for (std::size_t i = 0; i < haystack.size(); ++i) {
        haystack[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    const Bytes whole = haystack;
    const Bytes longer(haystack.size() + 1, 1);
    const Bytes atEnd(haystack.end() - 90, haystack.end());
    const Bytes absent = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    const Bytes empty;
    const Needles needles = {whole, longer, atEnd, absent, empty, std::span(haystack).subspan(5, 1)};
    const std::vector<std::optional<std::uint32_t>> expected = {0, std::nullopt, 210, std::nullopt, 0, 5};
    EXPECT_EQ(FindLowestOffsets(haystack, needles), expected);
    EXPECT_EQ(detail::FindLowestOffsets(haystack, needles, Stressed()), expected);
    EXPECT_EQ(detail::FindLowestOffsets(haystack, needles, AnchorsOnlyInTwo()), expected);
    EXPECT_EQ(FindLowestOffsets({}, needles),
              (std::vector<std::optional<std::uint32_t>>{std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0,
                                                         std::nullopt}));
}

// A long run of zero bytes with one marker: no gram but a run for most residues, so it goes to the anchor
// scan; tables made only of grams that repeat every sample exhaust their budget and are finished alone.
TEST(AllTablesSearch, TablesThatDefeatSamplingAreStillFoundAtTheLowestOffset) {
    Bytes haystack(1 << 18, 0);
    for (std::size_t i = 0; i < haystack.size(); i += 8) {
        haystack[i] = 1;
    }
    Bytes zeroRun(4096, 0);
    zeroRun.push_back(0x5A);
    const std::size_t place = haystack.size() - 5000;
    std::copy(zeroRun.begin(), zeroRun.end(), haystack.begin() + static_cast<std::ptrdiff_t>(place));
    Bytes periodicMiss; // matches the haystack's pattern for 4 KiB, then differs
    for (int i = 0; i < 512; ++i) {
        periodicMiss.insert(periodicMiss.end(), {1, 0, 0, 0, 0, 0, 0, 0});
    }
    periodicMiss.push_back(2);
    const Bytes periodicHit(haystack.begin() + 8, haystack.begin() + 8 + 4000);
    const Needles needles = {zeroRun, periodicMiss, periodicHit};
    const auto expected = FindLowestOffsetsNaive(haystack, needles);
    EXPECT_EQ(expected, (std::vector<std::optional<std::uint32_t>>{place, std::nullopt, 0}));
    SearchTuning smallBudget;
    smallBudget.minimumBudget = 1 << 16;
    smallBudget.haystackBytesPerBudgetByte = 1u << 30;
    EXPECT_EQ(detail::FindLowestOffsets(haystack, needles, smallBudget), expected);
    EXPECT_EQ(FindLowestOffsets(haystack, needles), expected);
}

// The vector filters must report exactly the positions the portable one does, up to the last position an
// anchor fits in and at every alignment of the range; where no anchor is zero they may leave out positions
// of four zero bytes (which no anchor matches), and must still report every other one.
TEST(AnchorFilter, EveryFilterGivesThePortableOnesHits) {
    std::mt19937 random(3);
    Bytes data = RandomBytes(random, 5000, 4, 30);
    for (std::size_t length : {100, 36, 35, 34, 33, 20}) { // zero stretches around a vector's length
        const std::size_t at = 1000 + 150 * length % 2000;
        std::fill(data.begin() + static_cast<std::ptrdiff_t>(at),
                  data.begin() + static_cast<std::ptrdiff_t>(at + length), 0);
    }
    const auto fourZeros = [&](std::uint32_t x) {
        return std::all_of(data.begin() + x, data.begin() + x + 4, [](std::uint8_t b) { return b == 0; });
    };
    detail::AnchorMasks masks;
    for (int anchor = 0; anchor < 12; ++anchor) {
        const auto bit = static_cast<std::uint8_t>(1u << (anchor % 8));
        std::uint32_t at = 0;
        do {
            at = static_cast<std::uint32_t>(random() % (data.size() - 4));
        } while (fourZeros(at));
        for (std::size_t m = 0; m < detail::kAnchorLength; ++m) {
            masks.low[m][data[at + m] & 0x0F] |= bit;
            masks.high[m][data[at + m] >> 4] |= bit;
        }
    }
    const auto filters = detail::AvailableAnchorFilters();
    for (bool skipZeros : {false, true}) {
        masks.skipZeros = skipZeros;
        for (std::size_t from : {0, 1, 17, 4000}) {
            for (std::size_t to : {4996, 4997, 5000, 6000}) {
                std::vector<std::uint32_t> expected(to - from);
                expected.resize(detail::PortableAnchorFilter(data, from, to, masks, expected.data()));
                ASSERT_FALSE(expected.empty());
                for (auto filter : filters) {
                    std::vector<std::uint32_t> hits(to - from);
                    hits.resize(filter(data, from, to, masks, hits.data()));
                    if (skipZeros) {
                        std::vector<std::uint32_t> kept;
                        std::copy_if(expected.begin(), expected.end(), std::back_inserter(kept),
                                     [&](std::uint32_t x) { return !fourZeros(x); });
                        std::erase_if(hits, fourZeros);
                        EXPECT_EQ(hits, kept) << "from " << from << " to " << to;
                    } else {
                        EXPECT_EQ(hits, expected) << "from " << from << " to " << to;
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace dovra
