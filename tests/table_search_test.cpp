#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "locate/table_search.h"

namespace dovra {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::optional<std::uint32_t> Find(const Bytes& haystack, const Bytes& needle) {
    return FindLowestOffset(haystack, needle);
}

TEST(TableSearch, EdgeCases) {
    EXPECT_EQ(Find({1, 2, 3}, {}), 0u);
    EXPECT_EQ(Find({1, 2}, {1, 2, 3}), std::nullopt);
    EXPECT_EQ(Find({1, 2, 3}, {1, 2, 3}), 0u);
    EXPECT_EQ(Find({0, 0, 0, 7}, {0, 7}), 2u);                   // match at the very end
    EXPECT_EQ(Find({5, 0, 0, 9, 5, 0, 0, 9}, {5, 0, 0, 9}), 0u); // lowest of two
    EXPECT_EQ(Find({0, 0, 0, 0}, {0, 0, 1}), std::nullopt);
    EXPECT_EQ(Find({0xFF, 0xFF, 0x00, 0xFF}, {0x00, 0xFF}), 2u); // only filler bytes in the needle
}

TEST(TableSearch, ZeroRunWithOneMarkerNearTheEnd) {
    Bytes haystack(1 << 20, 0);
    Bytes needle(4096, 0);
    needle.push_back(0x5A);
    const std::uint32_t place = static_cast<std::uint32_t>(haystack.size() - needle.size() - 100);
    haystack[place + 4096] = 0x5A;
    EXPECT_EQ(Find(haystack, needle), place);
    EXPECT_EQ(FindLowestOffsetNaive(haystack, needle), place);
}

// Random data over small alphabets makes partial matches frequent; long zero runs imitate the fill areas
// of game binaries. Needles are cut from the haystack (so they occur) or made up (so they mostly do not).
class RandomizedSearch : public ::testing::TestWithParam<int> {};

Bytes RandomBytes(std::mt19937& random, std::size_t size, int alphabet, int zeroPercent) {
    Bytes bytes(size);
    std::uniform_int_distribution<int> symbol(0, alphabet - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    for (auto& b : bytes) {
        b = percent(random) < zeroPercent ? 0 : static_cast<std::uint8_t>(symbol(random) * 37 % 256);
    }
    return bytes;
}

TEST_P(RandomizedSearch, AgreesWithTheNaiveMethod) {
    std::mt19937 random(static_cast<unsigned>(GetParam()));
    for (int round = 0; round < 300; ++round) {
        const int alphabet = 1 + round % 4;
        const int zeroPercent = (round % 3) * 45; // 0, 45 or 90
        Bytes haystack = RandomBytes(random, 1 + random() % 2000, alphabet, zeroPercent);
        Bytes needle;
        if (round % 2 == 0) {
            std::size_t start = random() % haystack.size();
            std::size_t length = 1 + random() % std::min<std::size_t>(40, haystack.size() - start);
            needle.assign(haystack.begin() + static_cast<long>(start),
                          haystack.begin() + static_cast<long>(start + length));
        } else {
            needle = RandomBytes(random, 1 + random() % 12, alphabet, zeroPercent);
        }
        auto expected = FindLowestOffsetNaive(haystack, needle);
        ASSERT_EQ(Find(haystack, needle), expected) << "round " << round;
        ASSERT_EQ(detail::FindLowestOffsetLinear(haystack, needle, 0), expected) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomizedSearch, ::testing::Values(1, 2, 3, 4));

// The anchor byte occurs every eight bytes and each candidate is charged a whole needle comparison: the
// verification budget runs out after about a thousand candidates, so the answer comes from the linear
// fallback, which must take over exactly where the candidates left off.
TEST(TableSearch, FallbackAfterManyCandidatesStillFindsTheLowest) {
    Bytes haystack;
    for (int i = 0; i < 4000; ++i) {
        haystack.insert(haystack.end(), {0, 0, 0, 0, 0, 0, 0, 1});
    }
    Bytes needle(100, 0);
    needle.push_back(1);
    needle.push_back(2);
    EXPECT_EQ(Find(haystack, needle), std::nullopt);
    const std::size_t place = haystack.size();
    haystack.insert(haystack.end(), needle.begin(), needle.end());
    haystack.insert(haystack.end(), needle.begin(), needle.end());
    EXPECT_EQ(Find(haystack, needle), place);
    EXPECT_EQ(FindLowestOffsetNaive(haystack, needle), place);
}

TEST(TableSearch, LinearScanHonoursItsStart) {
    Bytes haystack{1, 2, 1, 2, 1, 2};
    Bytes needle{1, 2};
    EXPECT_EQ(detail::FindLowestOffsetLinear(haystack, needle, 0), 0u);
    EXPECT_EQ(detail::FindLowestOffsetLinear(haystack, needle, 1), 2u);
    EXPECT_EQ(detail::FindLowestOffsetLinear(haystack, needle, 5), std::nullopt);
    EXPECT_EQ(detail::FindLowestOffsetLinear(haystack, needle, 7), std::nullopt);
}

} // namespace
} // namespace dovra
