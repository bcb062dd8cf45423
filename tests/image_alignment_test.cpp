#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "bench/generator.h"
#include "locate/image_alignment.h"

namespace dovra::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// The old image with `inserted` random bytes at `insertAt` and `deleted` bytes removed at `deleteAt`
// (deleteAt > insertAt, in old offsets).
Bytes Edited(const Bytes& old, std::size_t insertAt, std::size_t inserted, std::size_t deleteAt, std::size_t deleted) {
    Bytes edited(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(insertAt));
    const Bytes insert = RandomBytes(inserted, 99);
    edited.insert(edited.end(), insert.begin(), insert.end());
    edited.insert(edited.end(), old.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  old.begin() + static_cast<std::ptrdiff_t>(deleteAt));
    edited.insert(edited.end(), old.begin() + static_cast<std::ptrdiff_t>(deleteAt + deleted), old.end());
    return edited;
}

void ExpectSameAnchors(const ImageAlignment& a, const ImageAlignment& b) {
    ASSERT_EQ(a.Anchors().size(), b.Anchors().size());
    for (std::size_t i = 0; i < a.Anchors().size(); ++i) {
        EXPECT_EQ(a.Anchors()[i].oldOffset, b.Anchors()[i].oldOffset) << i;
        EXPECT_EQ(a.Anchors()[i].newOffset, b.Anchors()[i].newOffset) << i;
    }
}

// Every kept anchor stands for the same bytes in both images, in ascending order on both sides.
void ExpectSoundAnchors(const ImageAlignment& alignment, const Bytes& old, const Bytes& edited) {
    const auto& anchors = alignment.Anchors();
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        ASSERT_LE(anchors[i].oldOffset + kAnchorLength, old.size());
        ASSERT_LE(anchors[i].newOffset + kAnchorLength, edited.size());
        EXPECT_EQ(std::memcmp(old.data() + anchors[i].oldOffset, edited.data() + anchors[i].newOffset, kAnchorLength),
                  0);
        if (i > 0) {
            EXPECT_LT(anchors[i - 1].oldOffset, anchors[i].oldOffset);
            EXPECT_LT(anchors[i - 1].newOffset, anchors[i].newOffset);
        }
    }
}

TEST(ImageAlignmentTest, GivesEachRegionTheDistanceItMovedBetweenInsertsAndDeletes) {
    Bytes old = RandomBytes(1u << 20, 1);
    std::fill(old.begin() + 600000, old.begin() + 650000, std::uint8_t{0});
    const Bytes edited = Edited(old, 300000, 1000, 700000, 500);
    const ImageAlignment alignment(old, edited, {});
    ExpectSoundAnchors(alignment, old, edited);
    EXPECT_GT(alignment.Anchors().size(), 1000u);

    const Neighbourhood start = alignment.Around(100000, 64, 4096);
    EXPECT_EQ(start.shiftBefore, 0);
    EXPECT_EQ(start.shiftAfter, 0);
    const Neighbourhood middle = alignment.Around(500000, 64, 4096);
    EXPECT_EQ(middle.shiftBefore, 1000);
    EXPECT_EQ(middle.shiftAfter, 1000);
    const Neighbourhood end = alignment.Around(900000, 64, 4096);
    EXPECT_EQ(end.shiftBefore, 500);
    EXPECT_EQ(end.shiftAfter, 500);
    // A stretch over the insertion: the sides disagree, each by its own move.
    const Neighbourhood across = alignment.Around(299000, 2000, 4096);
    EXPECT_EQ(across.shiftBefore, 0);
    EXPECT_EQ(across.shiftAfter, 1000);
    EXPECT_LT(across.distanceBefore, 4096u);
    EXPECT_LT(across.distanceAfter, 4096u);
    // Inside a stretch of zeros the nearest anchors are out of reach and say nothing.
    const Neighbourhood zeros = alignment.Around(620000, 64, 4096);
    EXPECT_FALSE(zeros.shiftBefore.has_value());
    EXPECT_FALSE(zeros.shiftAfter.has_value());
    EXPECT_EQ(alignment.Around(620000, 64, 65536).shiftBefore, 1000);
}

TEST(ImageAlignmentTest, IsTheSameOnOneThreadOrTwo) {
    bench::GeneratorOptions options;
    options.imageSize = 8u << 20;
    options.tableCount = 300;
    for (bench::DataStyle style : {bench::DataStyle::Realistic, bench::DataStyle::ZeroHeavy}) {
        options.style = style;
        const bench::GeneratedCase generated = bench::Generate(options);
        const ImageAlignment one(generated.oldImage, generated.newImage, {}, 1);
        const ImageAlignment two(generated.oldImage, generated.newImage, {}, 2);
        ExpectSameAnchors(one, two);
        const ImageAlignment chosen(generated.oldImage, generated.newImage, {});
        ExpectSameAnchors(one, chosen);
    }
}

TEST(ImageAlignmentTest, FindsNoAnchorsInZerosOrInRepeatedBlocks) {
    const Bytes zeros(4u << 20, 0);
    EXPECT_TRUE(ImageAlignment(zeros, zeros, {}).Anchors().empty());

    // A block repeated throughout: every gram occurs many times, so none is an anchor.
    const Bytes block = RandomBytes(4096, 7);
    Bytes repeated;
    for (int i = 0; i < 512; ++i) {
        repeated.insert(repeated.end(), block.begin(), block.end());
    }
    EXPECT_TRUE(ImageAlignment(repeated, repeated, {}).Anchors().empty());

    // Images too small for one gram.
    const Bytes tiny(kAnchorLength - 1, 1);
    EXPECT_TRUE(ImageAlignment(tiny, tiny, {}).Anchors().empty());
}

TEST(ImageAlignmentTest, DropsAnchorsOfABlockMovedOutOfOrder) {
    const Bytes old = RandomBytes(1u << 20, 3);
    // The block [100000, 160000) moves behind everything else.
    Bytes edited(old.begin(), old.begin() + 100000);
    edited.insert(edited.end(), old.begin() + 160000, old.end());
    edited.insert(edited.end(), old.begin() + 100000, old.begin() + 160000);
    const ImageAlignment alignment(old, edited, {});
    ExpectSoundAnchors(alignment, old, edited);
    for (const AnchorPair& anchor : alignment.Anchors()) {
        EXPECT_FALSE(anchor.oldOffset >= 100000 && anchor.oldOffset < 160000) << anchor.oldOffset;
    }
    const Neighbourhood after = alignment.Around(200000, 64, 4096);
    EXPECT_EQ(after.shiftBefore, -60000);
}

// On generated updates every kept anchor inside a table that was kept moved exactly as that table did.
TEST(ImageAlignmentTest, AnchorsInsideKeptTablesMoveWithThem) {
    for (bench::DataStyle style : {bench::DataStyle::Realistic, bench::DataStyle::ZeroHeavy}) {
        bench::GeneratorOptions options;
        options.style = style;
        options.imageSize = 4u << 20;
        options.tableCount = 300;
        options.changedPercent = 10;
        options.removedPercent = 10;
        const bench::GeneratedCase generated = bench::Generate(options);
        const ImageAlignment alignment(generated.oldImage, generated.newImage, {});
        ExpectSoundAnchors(alignment, generated.oldImage, generated.newImage);
        std::size_t checked = 0;
        for (const bench::GeneratedTable& table : generated.tables) {
            if (table.fate != bench::TableFate::Kept) {
                continue;
            }
            for (const AnchorPair& anchor : alignment.Anchors()) {
                if (anchor.oldOffset >= table.oldAddress &&
                    anchor.oldOffset + kAnchorLength <= table.oldAddress + table.Size()) {
                    EXPECT_EQ(std::int64_t{anchor.newOffset} - anchor.oldOffset,
                              std::int64_t{table.newAddress} - table.oldAddress);
                    ++checked;
                }
            }
        }
        EXPECT_GT(checked, 0u);
    }
}

} // namespace
} // namespace dovra::detail
