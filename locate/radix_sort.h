#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

// Sorting the alignment's hundreds of thousands of grams and anchor pairs by one unsigned key: a
// comparison sort of 24-byte samples took as long as reading both images for them.
namespace dovra::detail {

// Stable least-significant-digit radix sort of `items` by `key(item)` (an unsigned integer), 16 bits a
// pass; a pass whose digit is the same for every item is skipped. Linear in the number of items.
template <typename T, typename KeyOf> void RadixSortBy(std::vector<T>& items, KeyOf key) {
    using Key = std::invoke_result_t<KeyOf, const T&>;
    static_assert(std::is_unsigned_v<Key>);
    constexpr int kDigitBits = 16;
    constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
    if (items.size() < 2) {
        return;
    }
    std::vector<T> scratch(items.size());
    std::vector<std::size_t> starts(kBuckets);
    for (int shift = 0; shift < static_cast<int>(sizeof(Key) * 8); shift += kDigitBits) {
        std::fill(starts.begin(), starts.end(), std::size_t{0});
        for (const T& item : items) {
            ++starts[static_cast<std::size_t>((key(item) >> shift) & (kBuckets - 1))];
        }
        if (starts[static_cast<std::size_t>((key(items.front()) >> shift) & (kBuckets - 1))] == items.size()) {
            continue;
        }
        std::size_t sum = 0;
        for (std::size_t& start : starts) {
            const std::size_t count = start;
            start = sum;
            sum += count;
        }
        for (const T& item : items) {
            scratch[starts[static_cast<std::size_t>((key(item) >> shift) & (kBuckets - 1))]++] = item;
        }
        items.swap(scratch);
    }
}

} // namespace dovra::detail
