#include "locate/anchor_filter.h"

#include <algorithm>
#include <bit>

// The vector filters use SSSE3 and AVX2 shuffles, compiled for those instruction sets function by function
// and chosen when the program runs, so the binary still starts on any x86-64 processor. Other compilers
// and processors use the portable filter. (A 512-bit version measured slower than the 256-bit one on an
// AMD Zen 5: the unaligned loads one byte apart cost more than the wider shuffles save.)
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define DOVRA_ANCHOR_FILTER_X86 1
#include <immintrin.h>
#endif

namespace dovra::detail {
namespace {

// Positions x with x + 4 <= size, below `to`.
std::size_t EndOf(std::span<const std::uint8_t> data, std::size_t to) {
    return data.size() < kAnchorLength ? 0 : std::min(to, data.size() - kAnchorLength + 1);
}

#if defined(DOVRA_ANCHOR_FILTER_X86)

std::size_t AppendBits(std::uint32_t bits, std::size_t base, std::uint32_t* hits, std::size_t count) {
    while (bits != 0) {
        hits[count++] = static_cast<std::uint32_t>(base + static_cast<std::size_t>(std::countr_zero(bits)));
        bits &= bits - 1;
    }
    return count;
}

// The groups whose nibble tables for one anchor byte accept the bytes: each byte's low and high nibble
// look up their table, and both lookups must agree. The four anchor bytes are four loads one byte apart,
// so every position's group bits are the AND of four such terms; the tables stay in registers.
#define DOVRA_ANCHOR_TERM(prefix, bits, bytes, low, high, nibble)                                                      \
    prefix##_and_si##bits(prefix##_shuffle_epi8(low, prefix##_and_si##bits(bytes, nibble)),                            \
                          prefix##_shuffle_epi8(high, prefix##_and_si##bits(prefix##_srli_epi16(bytes, 4), nibble)))

__attribute__((target("avx2"))) std::size_t Avx2AnchorFilter(std::span<const std::uint8_t> data, std::size_t from,
                                                             std::size_t to, const AnchorMasks& masks,
                                                             std::uint32_t* hits) {
    const std::size_t end = EndOf(data, to);
    std::size_t count = 0;
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
#define DOVRA_TABLE256(bytes)                                                                                          \
    _mm256_set_m128i(_mm_load_si128(reinterpret_cast<const __m128i*>(bytes)),                                          \
                     _mm_load_si128(reinterpret_cast<const __m128i*>(bytes)))
    const __m256i low0 = DOVRA_TABLE256(masks.low[0]);
    const __m256i high0 = DOVRA_TABLE256(masks.high[0]);
    const __m256i low1 = DOVRA_TABLE256(masks.low[1]);
    const __m256i high1 = DOVRA_TABLE256(masks.high[1]);
    const __m256i low2 = DOVRA_TABLE256(masks.low[2]);
    const __m256i high2 = DOVRA_TABLE256(masks.high[2]);
    const __m256i low3 = DOVRA_TABLE256(masks.low[3]);
    const __m256i high3 = DOVRA_TABLE256(masks.high[3]);
#undef DOVRA_TABLE256
    std::size_t x = from;
    // Each step reads bytes x .. x + 34, all inside the data while x + 32 <= end.
    for (; x + 32 <= end; x += 32) {
        const std::uint8_t* at = data.data() + x;
        const __m256i bytes0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        const __m256i bytes1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
        const __m256i bytes2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 2));
        const __m256i bytes3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 3));
        const __m256i spread = _mm256_or_si256(bytes0, bytes3); // bytes x .. x + 34
        if (masks.skipZeros && _mm256_testz_si256(spread, spread)) {
            continue;
        }
        const __m256i groups =
            _mm256_and_si256(_mm256_and_si256(DOVRA_ANCHOR_TERM(_mm256, 256, bytes0, low0, high0, nibble),
                                              DOVRA_ANCHOR_TERM(_mm256, 256, bytes1, low1, high1, nibble)),
                             _mm256_and_si256(DOVRA_ANCHOR_TERM(_mm256, 256, bytes2, low2, high2, nibble),
                                              DOVRA_ANCHOR_TERM(_mm256, 256, bytes3, low3, high3, nibble)));
        const auto none = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(groups, zero)));
        count = AppendBits(~none, x, hits, count);
    }
    return count + PortableAnchorFilter(data, x, end, masks, hits + count);
}

__attribute__((target("ssse3"))) std::size_t Ssse3AnchorFilter(std::span<const std::uint8_t> data, std::size_t from,
                                                               std::size_t to, const AnchorMasks& masks,
                                                               std::uint32_t* hits) {
    const std::size_t end = EndOf(data, to);
    std::size_t count = 0;
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i zero = _mm_setzero_si128();
    const __m128i low0 = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.low[0]));
    const __m128i high0 = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.high[0]));
    const __m128i low1 = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.low[1]));
    const __m128i high1 = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.high[1]));
    const __m128i low2 = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.low[2]));
    const __m128i high2 = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.high[2]));
    const __m128i low3 = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.low[3]));
    const __m128i high3 = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.high[3]));
    std::size_t x = from;
    for (; x + 16 <= end; x += 16) {
        const std::uint8_t* at = data.data() + x;
        const __m128i bytes0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i bytes1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
        const __m128i bytes2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 2));
        const __m128i bytes3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 3));
        const __m128i spread = _mm_or_si128(bytes0, bytes3); // bytes x .. x + 18
        if (masks.skipZeros && _mm_movemask_epi8(_mm_cmpeq_epi8(spread, zero)) == 0xFFFF) {
            continue;
        }
        const __m128i groups = _mm_and_si128(_mm_and_si128(DOVRA_ANCHOR_TERM(_mm, 128, bytes0, low0, high0, nibble),
                                                           DOVRA_ANCHOR_TERM(_mm, 128, bytes1, low1, high1, nibble)),
                                             _mm_and_si128(DOVRA_ANCHOR_TERM(_mm, 128, bytes2, low2, high2, nibble),
                                                           DOVRA_ANCHOR_TERM(_mm, 128, bytes3, low3, high3, nibble)));
        const auto none = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(groups, zero)));
        count = AppendBits(~none & 0xFFFF, x, hits, count);
    }
    return count + PortableAnchorFilter(data, x, end, masks, hits + count);
}

#undef DOVRA_ANCHOR_TERM

#endif

} // namespace

std::size_t PortableAnchorFilter(std::span<const std::uint8_t> data, std::size_t from, std::size_t to,
                                 const AnchorMasks& masks, std::uint32_t* hits) {
    const std::size_t end = EndOf(data, to);
    std::size_t count = 0;
    for (std::size_t x = from; x < end; ++x) {
        std::uint8_t groups = 0xFF;
        for (std::size_t m = 0; m < kAnchorLength; ++m) {
            const std::uint8_t byte = data[x + m];
            groups &= masks.low[m][byte & 0x0F] & masks.high[m][byte >> 4];
        }
        if (groups != 0) {
            hits[count++] = static_cast<std::uint32_t>(x);
        }
    }
    return count;
}

std::vector<AnchorFilter> AvailableAnchorFilters() {
    std::vector<AnchorFilter> filters = {&PortableAnchorFilter};
#if defined(DOVRA_ANCHOR_FILTER_X86)
    if (__builtin_cpu_supports("ssse3")) {
        filters.push_back(&Ssse3AnchorFilter);
    }
    if (__builtin_cpu_supports("avx2")) {
        filters.push_back(&Avx2AnchorFilter);
    }
#endif
    return filters;
}

AnchorFilter FastestAnchorFilter() {
    static const AnchorFilter fastest = AvailableAnchorFilters().back();
    return fastest;
}

} // namespace dovra::detail
