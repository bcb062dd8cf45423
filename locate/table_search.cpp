#include "locate/table_search.h"

#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace dovra {
namespace {

// What one candidate costs beyond its comparison (the memchr restart and the call overhead), counted in
// compared bytes.
constexpr std::uint64_t kCandidateOverhead = 32;
// Verification work allowed per haystack byte before the search switches to the linear scan. Generous,
// since memcmp runs far faster per byte than any byte-by-byte scan; real tables rarely spend more than a
// sliver of it.
constexpr std::uint64_t kBudgetPerHaystackByte = 4;

std::uint32_t ToOffset(std::size_t offset) {
    return static_cast<std::uint32_t>(offset);
}

// The position in the needle whose byte is likely rarest in the haystack: the byte value that occurs least
// often in the needle, taking 0x00 and 0xFF (the fill bytes of binaries) only when the needle has nothing
// else. Scanning for a rare byte keeps candidates few, so most of the search runs at memchr speed.
std::size_t ChooseAnchor(std::span<const std::uint8_t> needle) {
    std::array<std::size_t, 256> counts{};
    std::array<std::size_t, 256> firstPosition{};
    for (std::size_t i = needle.size(); i-- > 0;) {
        ++counts[needle[i]];
        firstPosition[needle[i]] = i;
    }
    auto rank = [&](std::size_t value) {
        bool filler = value == 0x00 || value == 0xFF;
        return std::pair<bool, std::size_t>(filler, counts[value]);
    };
    std::size_t best = needle[0];
    for (std::size_t value = 0; value < counts.size(); ++value) {
        if (counts[value] != 0 && rank(value) < rank(best)) {
            best = value;
        }
    }
    return firstPosition[best];
}

} // namespace

std::optional<std::uint32_t> FindLowestOffset(std::span<const std::uint8_t> haystack,
                                              std::span<const std::uint8_t> needle) {
    if (needle.empty()) {
        return 0;
    }
    if (needle.size() > haystack.size()) {
        return std::nullopt;
    }
    return detail::FindLowestOffsetByAnchor(haystack, needle, ChooseAnchor(needle));
}

std::optional<std::uint32_t> detail::FindLowestOffsetByAnchor(std::span<const std::uint8_t> haystack,
                                                              std::span<const std::uint8_t> needle,
                                                              std::size_t anchor) {
    if (needle.empty()) {
        return 0;
    }
    if (needle.size() > haystack.size()) {
        return std::nullopt;
    }
    const std::uint8_t anchorByte = needle[anchor];
    const std::size_t lastStart = haystack.size() - needle.size();
    // Each candidate is charged its whole comparison, so data that makes candidates frequent and
    // comparisons long (a needle of zeros with one rare byte, in a haystack full of that byte after zeros)
    // exhausts the budget and the rest is searched in linear time.
    std::uint64_t budget = kBudgetPerHaystackByte * haystack.size() + needle.size() + kCandidateOverhead;
    const std::uint64_t candidateCost = needle.size() + kCandidateOverhead;

    std::size_t start = 0;
    while (start <= lastStart) {
        const void* hit = std::memchr(haystack.data() + start + anchor, anchorByte, lastStart - start + 1);
        if (hit == nullptr) {
            return std::nullopt;
        }
        const std::size_t candidate =
            static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - haystack.data()) - anchor;
        if (candidateCost > budget) {
            // Every start below `candidate` has been ruled out, so the linear scan takes over from there.
            return detail::FindLowestOffsetLinear(haystack, needle, candidate);
        }
        budget -= candidateCost;
        if (std::memcmp(haystack.data() + candidate, needle.data(), needle.size()) == 0) {
            return ToOffset(candidate);
        }
        start = candidate + 1;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> FindLowestOffsetNaive(std::span<const std::uint8_t> haystack,
                                                   std::span<const std::uint8_t> needle) {
    if (needle.empty()) {
        return 0;
    }
    if (needle.size() > haystack.size()) {
        return std::nullopt;
    }
    const std::size_t lastStart = haystack.size() - needle.size();
    for (std::size_t start = 0; start <= lastStart; ++start) {
        const void* hit = std::memchr(haystack.data() + start, needle[0], lastStart - start + 1);
        if (hit == nullptr) {
            return std::nullopt;
        }
        start = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - haystack.data());
        if (std::memcmp(haystack.data() + start, needle.data(), needle.size()) == 0) {
            return ToOffset(start);
        }
    }
    return std::nullopt;
}

namespace detail {

// Knuth-Morris-Pratt: every haystack byte is read once and the needle's border table is built in linear
// time. The standard library's Boyer-Moore searcher is no substitute here: libstdc++ builds its good-suffix
// table in time quadratic in the needle length for periodic needles such as a run of zeros (about a second
// for 64 KiB), the very tables this fallback exists for.
std::optional<std::uint32_t> FindLowestOffsetLinear(std::span<const std::uint8_t> haystack,
                                                    std::span<const std::uint8_t> needle, std::size_t from) {
    if (from > haystack.size() || haystack.size() - from < needle.size()) {
        return std::nullopt;
    }
    if (needle.empty()) {
        return ToOffset(from);
    }
    // border[i]: length of the longest proper prefix of needle[0..i] that is also its suffix.
    std::vector<std::size_t> border(needle.size(), 0);
    for (std::size_t i = 1, length = 0; i < needle.size(); ++i) {
        while (length > 0 && needle[i] != needle[length]) {
            length = border[length - 1];
        }
        if (needle[i] == needle[length]) {
            ++length;
        }
        border[i] = length;
    }
    std::size_t matched = 0;
    for (std::size_t i = from; i < haystack.size(); ++i) {
        while (matched > 0 && haystack[i] != needle[matched]) {
            matched = border[matched - 1];
        }
        if (haystack[i] == needle[matched]) {
            ++matched;
        }
        if (matched == needle.size()) {
            return ToOffset(i + 1 - needle.size());
        }
    }
    return std::nullopt;
}

} // namespace detail
} // namespace dovra
