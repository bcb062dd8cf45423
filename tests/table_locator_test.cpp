#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bench/generator.h"
#include "locate/table_locator.h"

namespace dovra {
namespace {

using bench::DataStyle;
using bench::GeneratedCase;
using bench::GeneratorOptions;
using bench::TableFate;

// What the create command does with every question answered yes: several matches use the aligned one when
// there is one, else the lowest (and say it is undecided); no match uses the similar place.
struct Outcome {
    std::size_t existing = 0; // kept or changed tables
    std::size_t right = 0;    // placed where the table is
    std::size_t wrong = 0;    // placed where it is not, without a flag
    std::size_t flagged = 0;  // placed on the lowest match undecided, or flagged as unexpected
    std::size_t flaggedWrong = 0;
    std::size_t similar = 0;
    std::size_t unexpected = 0;
    std::size_t wrongByNeighbourhood = 0; // an aligned or similar place that is not the table's
    std::size_t inconsistent = 0;         // a field set where it does not apply
};

Outcome Judge(const GeneratedCase& generated, const std::vector<TableLocation>& found) {
    Outcome outcome;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const bench::GeneratedTable& table = generated.tables[i];
        const TableLocation& location = found[i];
        std::optional<std::uint32_t> chosen;
        bool flagged = false;
        if (location.matchCount > 1) {
            chosen = location.alignedMatch ? location.alignedMatch : location.lowestMatch;
            flagged = !location.alignedMatch;
        } else if (location.matchCount == 1) {
            chosen = location.lowestMatch;
            flagged = location.unexpectedPlace;
            outcome.unexpected += flagged ? 1 : 0;
        } else if (location.similar) {
            chosen = location.similar->offset;
            ++outcome.similar;
        }
        const bool fieldsConsistent = location.lowestMatch.has_value() == (location.matchCount > 0) &&
                                      (!location.alignedMatch || location.matchCount > 1) &&
                                      (!location.unexpectedPlace || (location.matchCount == 1 && location.predicted)) &&
                                      (!location.similar || location.matchCount == 0);
        outcome.inconsistent += fieldsConsistent ? 0 : 1;
        // A removed table whose replacement happens to hold the same bytes is still there.
        const bool exists = table.fate != TableFate::Removed ||
                            (std::uint64_t{table.newAddress} + table.Size() <= generated.newImage.size() &&
                             std::memcmp(generated.newImage.data() + table.newAddress,
                                         generated.oldImage.data() + table.oldAddress, table.Size()) == 0);
        outcome.existing += exists ? 1 : 0;
        if (!chosen) {
            if (exists && std::getenv("DOVRA_LOCATOR_DETAIL") != nullptr) {
                std::printf("  unplaced table %zu fate %d size %u true %X old %X predicted %X\n", i,
                            static_cast<int>(table.fate), table.Size(), table.newAddress, table.oldAddress,
                            location.predicted.value_or(0));
            }
            continue;
        }
        const bool right = exists && *chosen == table.newAddress;
        outcome.right += right ? 1 : 0;
        outcome.flagged += flagged ? 1 : 0;
        if (!right) {
            (flagged ? outcome.flaggedWrong : outcome.wrong) += 1;
            outcome.wrongByNeighbourhood += location.alignedMatch || location.similar ? 1 : 0;
            if (std::getenv("DOVRA_LOCATOR_DETAIL") != nullptr) {
                std::printf(
                    "  %s table %zu fate %d size %u count %u chosen %X true %X old %X predicted %X similar %d\n",
                    flagged ? "flagged" : "WRONG", i, static_cast<int>(table.fate), table.Size(), location.matchCount,
                    *chosen, table.newAddress, table.oldAddress, location.predicted.value_or(0),
                    location.similar ? 1 : 0);
            }
        }
    }
    return outcome;
}

std::vector<TableLocation> Find(const GeneratedCase& generated) {
    std::vector<TableRegion> regions;
    for (const bench::GeneratedTable& table : generated.tables) {
        regions.push_back({table.oldAddress, table.Size()});
    }
    return FindTables(generated.oldImage, generated.newImage, regions);
}

std::string Describe(const Outcome& o) {
    return "existing " + std::to_string(o.existing) + " right " + std::to_string(o.right) + " wrong " +
           std::to_string(o.wrong) + " flagged " + std::to_string(o.flagged) + " (wrong " +
           std::to_string(o.flaggedWrong) + ") similar " + std::to_string(o.similar) + " unexpected " +
           std::to_string(o.unexpected);
}

// Against the generator's truth, with the answers the create command gives when every question is
// answered yes. Set DOVRA_LOCATOR_DETAIL to see every table placed elsewhere.
TEST(TableLocatorTest, PlacesGeneratedTablesAtTheirTruePlace) {
    for (DataStyle style : {DataStyle::Realistic, DataStyle::ZeroHeavy}) {
        for (std::uint64_t seed : {1u, 2u, 3u}) {
            GeneratorOptions options;
            options.style = style;
            options.seed = seed;
            options.imageSize = 4u << 20;
            options.tableCount = 300;
            options.maxRecordCount = 200;
            options.changedPercent = 10;
            options.removedPercent = 5;
            const GeneratedCase generated = bench::Generate(options);
            const Outcome outcome = Judge(generated, Find(generated));
            SCOPED_TRACE(Describe(outcome));
            std::printf("%s\n", Describe(outcome).c_str());
            EXPECT_EQ(outcome.inconsistent, 0u);
            EXPECT_EQ(outcome.wrongByNeighbourhood, 0u);
            if (style == DataStyle::Realistic) {
                EXPECT_EQ(outcome.wrong, 0u);
                EXPECT_GE(outcome.right * 100, outcome.existing * 98);
            } else {
                // Tables of zeros between edited zero stretches have no place of their own and stay
                // undecided; a mostly-zero table found once far away without a neighbourhood to say so is
                // the one kind of unflagged wrong place left.
                EXPECT_LE(outcome.wrong * 100, outcome.existing * 3);
                EXPECT_GE(outcome.right * 100, outcome.existing * 65);
            }
        }
    }
}

using Bytes = std::vector<std::uint8_t>;

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

void Put(Bytes& image, std::size_t at, std::span<const std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
}

// `inserted` random bytes at `at`: everything behind moves by that many.
Bytes Inserted(const Bytes& image, std::size_t at, std::size_t inserted) {
    Bytes edited(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(at));
    const Bytes insert = RandomBytes(inserted, 77);
    edited.insert(edited.end(), insert.begin(), insert.end());
    edited.insert(edited.end(), image.begin() + static_cast<std::ptrdiff_t>(at), image.end());
    return edited;
}

TableLocation FindOne(const Bytes& oldImage, const Bytes& newImage, TableRegion table) {
    return FindTables(oldImage, newImage, std::span(&table, 1)).front();
}

TEST(TableLocatorTest, ChoosesTheCopyThatMovedWithItsNeighbourhood) {
    Bytes oldImage = RandomBytes(1u << 20, 1);
    const Bytes table = RandomBytes(64, 2);
    Put(oldImage, 400000, table);
    Bytes newImage = Inserted(oldImage, 100000, 3000);
    for (std::size_t copy : {50000u, 200000u, 800000u}) {
        Put(newImage, copy, table);
    }
    const TableLocation found = FindOne(oldImage, newImage, {400000, 64});
    EXPECT_EQ(found.matchCount, 4u);
    EXPECT_EQ(found.lowestMatch, 50000u);
    EXPECT_EQ(found.predicted, 403000u);
    EXPECT_EQ(found.alignedMatch, 403000u);
    EXPECT_FALSE(found.similar);
}

TEST(TableLocatorTest, LeavesACopyUndecidedWhenTheNeighbourhoodSaysNothing) {
    // A table of zeros inside a stretch of zeros that grew: the table may be anywhere in the stretch.
    Bytes oldImage = RandomBytes(1u << 20, 3);
    std::fill(oldImage.begin() + 400000, oldImage.begin() + 402000, std::uint8_t{0});
    Bytes newImage = Inserted(oldImage, 100000, 3000);
    newImage.insert(newImage.begin() + 403500, 200, std::uint8_t{0});
    const TableLocation found = FindOne(oldImage, newImage, {401000, 256});
    EXPECT_GT(found.matchCount, 1u);
    EXPECT_FALSE(found.alignedMatch);
    EXPECT_FALSE(found.predicted);

    // The same stretch unedited: its place is known from the bytes that bound it.
    const Bytes unedited = Inserted(oldImage, 100000, 3000);
    const TableLocation placed = FindOne(oldImage, unedited, {401000, 256});
    EXPECT_GT(placed.matchCount, 1u);
    EXPECT_EQ(placed.alignedMatch, 404000u);
}

TEST(TableLocatorTest, ChoosesTheOneMatchBetweenItsAnchorsWhenTheBytesNextToItChanged) {
    Bytes oldImage = RandomBytes(1u << 20, 21);
    const Bytes table = RandomBytes(64, 22);
    Put(oldImage, 400000, table);
    Bytes newImage = Inserted(oldImage, 100000, 3000);
    // The update changed the bytes right next to the table on both sides, and copied it elsewhere.
    Put(newImage, 403000 - 24, RandomBytes(24, 23));
    Put(newImage, 403064, RandomBytes(24, 24));
    Put(newImage, 50000, table);
    Put(newImage, 800000, table);
    const TableLocation found = FindOne(oldImage, newImage, {400000, 64});
    EXPECT_EQ(found.matchCount, 3u);
    EXPECT_EQ(found.lowestMatch, 50000u);
    EXPECT_EQ(found.alignedMatch, 403000u);

    // Its place now holds other bytes and its bytes stand by chance a little further on, next to none of
    // its old neighbours: no match is the table's.
    Bytes removed = Inserted(oldImage, 100000, 3000);
    Put(removed, 403000, RandomBytes(64, 25));
    Put(removed, 403300, table);
    Put(removed, 50000, table);
    const TableLocation gone = FindOne(oldImage, removed, {400000, 64});
    EXPECT_EQ(gone.matchCount, 2u);
    EXPECT_FALSE(gone.alignedMatch);
}

TEST(TableLocatorTest, TakesTheMatchOfTheSameRankBetweenItsAnchors) {
    // A small record that stands twice near each other and many times elsewhere. The update inserted bytes
    // on both sides of the second one, so its anchors moved by different distances, and changed the bytes
    // right next to it, so that no side bytes tell.
    Bytes oldImage = RandomBytes(1u << 20, 31);
    const Bytes table = RandomBytes(8, 32);
    for (std::size_t copy = 100000; copy < 1000000; copy += 40000) {
        Put(oldImage, copy, table);
    }
    Put(oldImage, 400000, table);
    Put(oldImage, 400600, table);
    Bytes newImage = Inserted(oldImage, 50000, 3000);
    newImage.insert(newImage.begin() + 403700, 300, std::uint8_t{0x5A});
    newImage.insert(newImage.begin() + 403300, 500, std::uint8_t{0x5A});
    Put(newImage, 404100 - 16, RandomBytes(16, 33));
    Put(newImage, 404108, RandomBytes(16, 34));
    const TableLocation found = FindOne(oldImage, newImage, {400600, 8});
    EXPECT_GT(found.matchCount, 20u);
    EXPECT_FALSE(found.predicted);
    EXPECT_EQ(found.alignedMatch, 404100u);

    // The update also added a copy in the bytes it inserted behind the table: which of the two is the old
    // one, the bytes cannot tell.
    Put(newImage, 404300, table);
    const TableLocation added = FindOne(oldImage, newImage, {400600, 8});
    EXPECT_GT(added.matchCount, 20u);
    EXPECT_FALSE(added.alignedMatch);
}

TEST(TableLocatorTest, PlacesATableOfZerosByTheSideItTouches) {
    // 256 zeros at the start of a stretch of 2000; the update edited the bytes that end the stretch, so
    // the stretch is longer now, at its far end. Zeros are the image's filler, as in real binaries.
    Bytes oldImage = RandomBytes(1u << 20, 26);
    for (std::size_t block = 0; block < oldImage.size(); block += 256) {
        std::fill(oldImage.begin() + static_cast<std::ptrdiff_t>(block),
                  oldImage.begin() + static_cast<std::ptrdiff_t>(block) + 64, std::uint8_t{0});
    }
    std::fill(oldImage.begin() + 400000, oldImage.begin() + 402000, std::uint8_t{0});
    Bytes farEndEdited = Inserted(oldImage, 100000, 3000);
    Bytes farEnd(100, 0);
    const Bytes other = RandomBytes(50, 27);
    std::copy(other.begin(), other.end(), farEnd.begin() + 50);
    farEndEdited.insert(farEndEdited.begin() + 405000, farEnd.begin(), farEnd.end());
    const TableLocation touching = FindOne(oldImage, farEndEdited, {400000, 256});
    EXPECT_GT(touching.matchCount, 1u);
    EXPECT_EQ(touching.alignedMatch, 403000u);

    // The stretch grew by zeros alone, its end unchanged: they may have come before the table or after.
    Bytes grown = Inserted(oldImage, 100000, 3000);
    grown.insert(grown.begin() + 404500, 200, std::uint8_t{0});
    const TableLocation undecided = FindOne(oldImage, grown, {400000, 256});
    EXPECT_GT(undecided.matchCount, 1u);
    EXPECT_FALSE(undecided.alignedMatch);
}

TEST(TableLocatorTest, CountsARepeatedSmallTableUpToTheCap) {
    Bytes oldImage = RandomBytes(1u << 20, 4);
    const Bytes table = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    Put(oldImage, 500000, table);
    Bytes newImage = Inserted(oldImage, 10000, 16);
    for (std::size_t copy = 600000; copy < 600000 + 300 * 64; copy += 64) {
        Put(newImage, copy, table);
    }
    const TableLocation found = FindOne(oldImage, newImage, {500000, 6});
    EXPECT_EQ(found.matchCount, kMatchCountCap);
    EXPECT_EQ(found.lowestMatch, 500016u);
    EXPECT_EQ(found.alignedMatch, 500016u);
}

TEST(TableLocatorTest, FlagsAnOnlyMatchFarFromItsNeighbourhood) {
    Bytes oldImage = RandomBytes(1u << 20, 5);
    const Bytes table = RandomBytes(256, 6);
    Put(oldImage, 300000, table);
    Bytes newImage = Inserted(oldImage, 100000, 500);
    // The table's bytes now stand only far away; its old place holds other bytes.
    Put(newImage, 300500, RandomBytes(256, 8));
    Put(newImage, 900000, table);
    const TableLocation found = FindOne(oldImage, newImage, {300000, 256});
    EXPECT_EQ(found.matchCount, 1u);
    EXPECT_EQ(found.lowestMatch, 900000u);
    EXPECT_TRUE(found.unexpectedPlace);
    EXPECT_EQ(found.predicted, 300500u);

    // Where it went with its neighbourhood, nothing to flag.
    const TableLocation kept = FindOne(oldImage, Inserted(oldImage, 100000, 500), {300000, 256});
    EXPECT_EQ(kept.matchCount, 1u);
    EXPECT_FALSE(kept.unexpectedPlace);
}

Bytes LittleEndian(const std::vector<std::uint32_t>& words) {
    Bytes bytes;
    for (std::uint32_t word : words) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(word >> shift));
        }
    }
    return bytes;
}

TEST(TableLocatorTest, FindsATableOfPointersThatMovedWithTheCode) {
    // Records of a pointer into the binary and a small id; the code the pointers lead to grew by 0x340.
    Bytes oldImage = RandomBytes(1u << 20, 9);
    std::vector<std::uint32_t> oldWords;
    std::vector<std::uint32_t> newWords;
    for (std::uint32_t record = 0; record < 64; ++record) {
        const std::uint32_t pointer = 0x08000000u + 0x60000u + record * 0x38u;
        oldWords.insert(oldWords.end(), {pointer, record});
        newWords.insert(newWords.end(), {pointer + 0x340u, record});
    }
    Put(oldImage, 600000, LittleEndian(oldWords));
    Bytes newImage = Inserted(oldImage, 200000, 0x340);
    Put(newImage, 600000 + 0x340, LittleEndian(newWords));
    const TableLocation found = FindOne(oldImage, newImage, {600000, 512});
    EXPECT_EQ(found.matchCount, 0u);
    ASSERT_TRUE(found.similar);
    EXPECT_EQ(found.similar->offset, 600000u + 0x340u);
    EXPECT_GE(found.similar->percent, 90u);
    EXPECT_LT(found.similar->percent, 100u);
}

TEST(TableLocatorTest, FindsATableOfTwoPointersThatMovedWithWhatTheyPointTo) {
    Bytes oldImage = RandomBytes(1u << 20, 28);
    const std::uint32_t pointer = 0x08000000u + 0x60000u;
    Put(oldImage, 600000, LittleEndian({pointer, pointer + 0x48u}));
    Bytes newImage = Inserted(oldImage, 200000, 0x340);
    Put(newImage, 600000 + 0x340, LittleEndian({pointer + 0x340u, pointer + 0x48u + 0x340u}));
    const TableLocation found = FindOne(oldImage, newImage, {600000, 8});
    EXPECT_EQ(found.matchCount, 0u);
    ASSERT_TRUE(found.similar);
    EXPECT_EQ(found.similar->offset, 600000u + 0x340u);
    EXPECT_EQ(found.similar->percent, 99u);

    // Changed by a distance no region moved: not the table's pointers moved, other values.
    Put(newImage, 600000 + 0x340, LittleEndian({pointer + 0x341u, pointer + 0x48u + 0x341u}));
    EXPECT_FALSE(FindOne(oldImage, newImage, {600000, 8}).similar);
}

TEST(TableLocatorTest, CallsASmallChangedTableSimilarOnlyWhereBothItsSidesPutIt) {
    Bytes oldImage = RandomBytes(1u << 20, 29);
    const Bytes table = RandomBytes(12, 30);
    Put(oldImage, 500000, table);
    Bytes changed = table;
    changed[5] ^= 0x5A;
    Bytes newImage = Inserted(oldImage, 100000, 700);
    Put(newImage, 500700, changed);
    const TableLocation found = FindOne(oldImage, newImage, {500000, 12});
    EXPECT_EQ(found.matchCount, 0u);
    ASSERT_TRUE(found.similar);
    EXPECT_EQ(found.similar->offset, 500700u);
    EXPECT_EQ(found.similar->percent, 91u);

    // Bytes inserted right after it: the sides no longer agree, and 12 bytes alone could agree by chance.
    Bytes edited = Inserted(newImage, 500712, 300);
    EXPECT_FALSE(FindOne(oldImage, edited, {500000, 12}).similar);
}

TEST(TableLocatorTest, PlacesATableAmongPointersThatMovedWithTheCode) {
    // Sixteen zero bytes between two arrays of pointers into the code, which grew by 0x340; zero runs as
    // long stand elsewhere too. The pointers changed, the data around the table did not move.
    Bytes oldImage = RandomBytes(1u << 20, 31);
    std::vector<std::uint32_t> oldPointers;
    std::vector<std::uint32_t> newPointers;
    for (std::uint32_t k = 0; k < 8; ++k) {
        oldPointers.push_back(0x08000000u + 0x40000u + k * 0x100u);
        newPointers.push_back(oldPointers.back() + 0x340u);
    }
    const Bytes zeros(16, 0);
    Put(oldImage, 500000 - 32, LittleEndian(oldPointers));
    Put(oldImage, 500000, zeros);
    Put(oldImage, 500016, LittleEndian(oldPointers));
    Bytes newImage = Inserted(oldImage, 200000, 0x340);
    Put(newImage, 500000 + 0x340 - 32, LittleEndian(newPointers));
    Put(newImage, 500016 + 0x340, LittleEndian(newPointers));
    Put(newImage, 100000, zeros);
    Put(newImage, 500000 + 0x340 + 400, zeros); // near enough to stand between the same anchors
    Put(newImage, 900000, zeros);
    // More bytes inserted behind it: the anchors either side moved by different distances.
    newImage = Inserted(newImage, 500000 + 0x340 + 60, 0x20);
    const TableLocation found = FindOne(oldImage, newImage, {500000, 16});
    EXPECT_EQ(found.matchCount, 4u);
    EXPECT_EQ(found.alignedMatch, 500000u + 0x340u);

    // Pointers changed by a distance nothing moved: the data around it changed, nothing to say.
    std::vector<std::uint32_t> otherPointers;
    for (std::uint32_t pointer : oldPointers) {
        otherPointers.push_back(pointer + 0x123u);
    }
    Put(newImage, 500000 + 0x340 - 32, LittleEndian(otherPointers));
    Put(newImage, 500016 + 0x340, LittleEndian(otherPointers));
    EXPECT_FALSE(FindOne(oldImage, newImage, {500000, 16}).alignedMatch);
}

TEST(TableLocatorTest, NeverCallsZerosSimilarToAMostlyZeroTable) {
    // A zero-heavy binary: zeros with a marker byte here and there, and a table of zeros with a few.
    Bytes oldImage(1u << 20, 0);
    std::mt19937 random(11);
    for (std::size_t at = 0; at < oldImage.size(); at += 1000 + random() % 3000) {
        oldImage[at] = static_cast<std::uint8_t>(1 + random() % 255);
    }
    Bytes table(4096, 0);
    for (std::size_t at = 100; at < table.size(); at += 400) {
        table[at] = static_cast<std::uint8_t>(1 + random() % 255);
    }
    Put(oldImage, 500000, table);
    Bytes newImage = Inserted(oldImage, 100000, 0);
    newImage.insert(newImage.begin() + 100000, 777, std::uint8_t{0});
    // The table is gone: its place holds zeros.
    std::fill(newImage.begin() + 500777, newImage.begin() + 500777 + 4096, std::uint8_t{0});
    const TableLocation gone = FindOne(oldImage, newImage, {500000, 4096});
    EXPECT_EQ(gone.matchCount, 0u);
    EXPECT_FALSE(gone.similar);

    // A table of zeros with one changed byte: too little of it says anything.
    Bytes zeros(4096, 0);
    zeros[4000] = 1;
    Put(oldImage, 300000, zeros);
    const TableLocation empty = FindOne(oldImage, newImage, {300000, 4096});
    EXPECT_FALSE(empty.similar);
}

// Seeds 34, 35, 40 and 48 hold a table of zeros next to bytes it touches, with zeros inserted between them
// and the far end of its stretch edited too; seed 47 a mostly-zero table that changed, with a match an
// edit made between its anchors.
TEST(TableLocatorTest, NeverPlacesZeroHeavyTablesWrongByTheirNeighbourhood) {
    for (std::uint64_t seed : {11u, 12u, 13u, 14u, 34u, 35u, 40u, 47u, 48u}) {
        GeneratorOptions options;
        options.style = DataStyle::ZeroHeavy;
        options.seed = seed;
        options.imageSize = 2u << 20;
        options.tableCount = 500;
        options.maxRecordCount = 100;
        options.changedPercent = 20;
        options.removedPercent = 20;
        const GeneratedCase generated = bench::Generate(options);
        const Outcome outcome = Judge(generated, Find(generated));
        SCOPED_TRACE(Describe(outcome));
        EXPECT_EQ(outcome.wrongByNeighbourhood, 0u);
        EXPECT_EQ(outcome.wrong, 0u);
        EXPECT_EQ(outcome.inconsistent, 0u);
    }
}

} // namespace
} // namespace dovra
