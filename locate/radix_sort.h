#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

// Sorting the alignment's hundreds of thousands of grams and anchor pairs by one unsigned key: a
// comparison sort of 24-byte samples took as long as reading both images for them.
namespace dovra::detail {

// Stable least-significant-digit radix sort of `items` by `key(item)` (an unsigned integer), 11 bits a
// pass; a pass whose digit is the same for every item is skipped. Linear in the number of items. The
// counts of every pass come from one read of the keys, and the copy the passes alternate with is left
// uninitialised: its pages are written once, by the first pass. (Three passes of 2 048 places to scatter
// to measured a little faster than two of 65 536 on the alignment's 8-byte samples.)
template <typename T, typename KeyOf> void RadixSortBy(std::vector<T>& items, KeyOf key) {
    using Key = std::invoke_result_t<KeyOf, const T&>;
    static_assert(std::is_unsigned_v<Key>);
    static_assert(std::is_trivially_copyable_v<T>);
    constexpr int kDigitBits = 11;
    constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
    constexpr int kPasses = (static_cast<int>(sizeof(Key) * 8) + kDigitBits - 1) / kDigitBits;
    const std::size_t count = items.size();
    if (count < 2) {
        return;
    }
    // Every pass's counts from one read of the keys; 32 bits each, as no caller sorts 2^32 items.
    std::vector<std::array<std::uint32_t, kBuckets>> starts(kPasses);
    for (const T& item : items) {
        const Key k = key(item);
        for (int pass = 0; pass < kPasses; ++pass) {
            ++starts[pass][static_cast<std::size_t>((k >> (pass * kDigitBits)) & (kBuckets - 1))];
        }
    }
    // Left uninitialised (the items are trivially copyable): every element is written before it is read.
    const std::unique_ptr<void, void (*)(void*)> scratch(::operator new(count * sizeof(T)),
                                                         [](void* memory) { ::operator delete(memory); });
    T* from = items.data();
    T* to = static_cast<T*>(scratch.get());
    for (int pass = 0; pass < kPasses; ++pass) {
        const int shift = pass * kDigitBits;
        std::array<std::uint32_t, kBuckets>& place = starts[pass];
        if (place[static_cast<std::size_t>((key(items.front()) >> shift) & (kBuckets - 1))] == count) {
            continue;
        }
        std::uint32_t sum = 0;
        for (std::uint32_t& start : place) {
            const std::uint32_t n = start;
            start = sum;
            sum += n;
        }
        for (std::size_t i = 0; i < count; ++i) {
            to[place[static_cast<std::size_t>((key(from[i]) >> shift) & (kBuckets - 1))]++] = from[i];
        }
        std::swap(from, to);
    }
    if (from != items.data()) {
        std::copy(from, from + count, items.data());
    }
}

} // namespace dovra::detail
