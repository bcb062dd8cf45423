#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "bench/generator.h"
#include "locate/all_tables_search.h"
#include "locate/match_count.h"
#include "locate/table_locator.h"

namespace dovra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Needles = std::vector<std::span<const std::uint8_t>>;

std::uint32_t NaiveCount(const Bytes& haystack, std::span<const std::uint8_t> needle, std::uint32_t cap) {
    std::uint32_t count = 0;
    for (std::size_t p = 0; p + needle.size() <= haystack.size() && count < cap; ++p) {
        count += std::memcmp(haystack.data() + p, needle.data(), needle.size()) == 0 ? 1 : 0;
    }
    return count;
}

std::vector<std::uint32_t> Counted(const Bytes& haystack, const Needles& needles, std::uint32_t cap) {
    const auto lowest = FindLowestOffsets(haystack, needles);
    return detail::CountMatches(haystack, needles, lowest, cap);
}

// The search's scan counting: the default, one thread, two threads however small the haystack, small
// strides with blocks that put samples on their edges and a budget that sends tables to the general
// counting half-way, and every table on the anchor scan.
std::vector<detail::SearchTuning> ScanTunings() {
    std::vector<detail::SearchTuning> tunings(5);
    tunings[1].threads = 1;
    tunings[2].minimumBytesPerThread = 0;
    tunings[3].strides = {16, 4, 2};
    tunings[3].blockSize = 1000;
    tunings[3].haystackBytesPerBudgetByte = 1u << 30;
    tunings[3].minimumBudget = 300;
    tunings[3].minimumBytesPerThread = 0;
    tunings[4].strides = {};
    tunings[4].minimumBytesPerThread = 0;
    return tunings;
}

void ExpectNaive(const Bytes& haystack, const std::vector<Bytes>& tables, std::uint32_t cap) {
    Needles needles(tables.begin(), tables.end());
    const std::vector<std::uint32_t> counts = Counted(haystack, needles, cap);
    const auto lowest = FindLowestOffsets(haystack, needles);
    for (std::size_t i = 0; i < tables.size(); ++i) {
        EXPECT_EQ(counts[i], NaiveCount(haystack, tables[i], cap)) << "table " << i << " of size " << tables[i].size();
    }
    const std::vector<detail::SearchTuning> tunings = ScanTunings();
    for (std::size_t t = 0; t < tunings.size(); ++t) {
        const std::vector<std::uint32_t> scanned =
            detail::CountMatchesInScan(haystack, needles, lowest, cap, tunings[t]);
        const detail::FoundAndCounted both = detail::FindAndCountMatches(haystack, needles, cap, tunings[t]);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            EXPECT_EQ(scanned[i], counts[i]) << "tuning " << t << ", table " << i << " of size " << tables[i].size();
            EXPECT_EQ(both.counts[i], counts[i])
                << "tuning " << t << ", table " << i << " of size " << tables[i].size();
            EXPECT_EQ(both.lowest[i], lowest[i])
                << "tuning " << t << ", table " << i << " of size " << tables[i].size();
        }
    }
}

// Copies, runs of one value, short tables and tables that overlap themselves, on random data and on a
// haystack of zeros with a few markers: every count is exact up to the cap, the cap included.
TEST(MatchCountTest, CountsEveryKindOfTableExactlyUpToTheCap) {
    std::mt19937 random(7);
    Bytes haystack(200000);
    for (auto& byte : haystack) {
        byte = static_cast<std::uint8_t>(random() % 4 == 0 ? random() : 0);
    }
    const Bytes record = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (std::size_t copy = 0; copy < 150; ++copy) {
        std::copy(record.begin(), record.end(), haystack.begin() + static_cast<std::ptrdiff_t>(copy * 1000 + 17));
    }
    std::fill(haystack.begin() + 5000, haystack.begin() + 5300, std::uint8_t{0xFF});
    std::vector<Bytes> tables = {
        record,
        Bytes(record.begin(), record.begin() + 5),                   // short
        Bytes(40, 0),                                                // zeros: far more than the cap
        Bytes(290, 0xFF),                                            // a run found 11 times in one stretch
        Bytes(301, 0xFF),                                            // longer than any run
        Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},    // zeros ending in a marker
        Bytes(haystack.begin() + 123456, haystack.begin() + 123556), // random: once, probably
        Bytes{9, 9, 9, 9, 9, 9, 9, 9, 9, 7},                         // absent
    };
    for (std::uint32_t cap : {1u, 5u, 100u, 1000u}) {
        ExpectNaive(haystack, tables, cap);
    }
}

// A haystack of zeros large enough for two threads: a zero table counts to the cap at once, and tables
// whose every gram is zero but one byte are counted without a comparison at every place.
TEST(MatchCountTest, ZeroImagesStayExactAndLargeOnesSplitInTwo) {
    Bytes haystack(std::size_t{9} << 20, 0);
    for (std::size_t i = 0; i < 300; ++i) {
        haystack[i * 30011 + 5] = 1;
    }
    std::vector<Bytes> tables = {Bytes(64, 0), Bytes(4096, 0)};
    for (std::size_t size : {9u, 100u, 2000u}) {
        Bytes marked(size, 0);
        marked.back() = 1;
        tables.push_back(marked);
        marked.back() = 0;
        marked.front() = 1;
        tables.push_back(marked);
    }
    ExpectNaive(haystack, tables, kMatchCountCap);
}

// Records repeated back to back: a table of a few records matches at every record of the stretch, its
// samples and anchors read the same bytes again and again, and every place must be counted once.
TEST(MatchCountTest, RepeatedRecordsAreCountedOncePerPlace) {
    std::mt19937 random(11);
    Bytes haystack(300000);
    for (auto& byte : haystack) {
        byte = static_cast<std::uint8_t>(random());
    }
    const Bytes record = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7};
    for (std::size_t copy = 0; copy < 400; ++copy) {
        std::copy(record.begin(), record.end(), haystack.begin() + static_cast<std::ptrdiff_t>(1000 + copy * 14));
    }
    for (std::size_t copy = 0; copy < 40; ++copy) {
        std::copy(record.begin(), record.end(), haystack.begin() + static_cast<std::ptrdiff_t>(100000 + copy * 14));
    }
    std::vector<Bytes> tables;
    for (std::size_t records : {1u, 3u, 6u, 10u}) {
        Bytes table;
        for (std::size_t k = 0; k < records; ++k) {
            table.insert(table.end(), record.begin(), record.end());
        }
        tables.push_back(table);
    }
    tables.push_back(Bytes(haystack.begin() + 200000, haystack.begin() + 200300)); // once
    for (std::uint32_t cap : {2u, 100u, 1000u}) {
        ExpectNaive(haystack, tables, cap);
    }
}

// FindTables gives the count beside the lowest match, on generated binaries of both styles.
TEST(MatchCountTest, FindTablesCountsOnGeneratedCases) {
    for (bench::DataStyle style : {bench::DataStyle::Realistic, bench::DataStyle::ZeroHeavy}) {
        bench::GeneratorOptions options;
        options.style = style;
        options.imageSize = 1u << 20;
        options.tableCount = 60;
        const bench::GeneratedCase generated = bench::Generate(options);
        std::vector<TableRegion> regions;
        for (const bench::GeneratedTable& table : generated.tables) {
            regions.push_back({table.oldAddress, table.Size()});
        }
        const std::vector<TableLocation> found = FindTables(generated.oldImage, generated.newImage, regions);
        ASSERT_EQ(found.size(), regions.size());
        for (std::size_t i = 0; i < regions.size(); ++i) {
            const std::span<const std::uint8_t> bytes(generated.oldImage.data() + regions[i].address, regions[i].size);
            EXPECT_EQ(found[i].matchCount, NaiveCount(generated.newImage, bytes, kMatchCountCap)) << i;
            EXPECT_EQ(found[i].lowestMatch.has_value(), found[i].matchCount > 0) << i;
        }
    }
}

} // namespace
} // namespace dovra
