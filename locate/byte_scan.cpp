#include "locate/byte_scan.h"

#include <bit>
#include <cstring>

// The vector scans use SSE2 (every x86-64 processor has it) and AVX2, the latter compiled for that
// instruction set function by function and chosen when the program runs, so the binary still starts on
// any x86-64 processor. Other compilers and processors use the portable scans, a word at a time.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define DOVRA_BYTE_SCAN_X86 1
#include <immintrin.h>
#endif

namespace dovra::detail {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

std::uint64_t Load64(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Whether some byte of the word is zero (exact for "some", though the bits above a zero byte may be wrong).
bool HasZeroByte(std::uint64_t word) {
    return ((word - kOnes) & ~word & kHighs) != 0;
}

std::size_t PortableValueScan(std::span<const std::uint8_t> data, std::size_t from, std::size_t to,
                              const ScanValues& values, std::uint32_t* hits) {
    if (values.count == 0) {
        return 0;
    }
    const std::uint8_t* bytes = data.data();
    std::uint64_t spread[kMaximumScanValues];
    for (std::size_t k = 0; k < kMaximumScanValues; ++k) {
        spread[k] = kOnes * values.values[k < values.count ? k : 0];
    }
    const auto matches = [&](std::uint8_t byte) {
        for (std::size_t k = 0; k < values.count; ++k) {
            if (byte == values.values[k]) {
                return true;
            }
        }
        return false;
    };
    std::size_t count = 0;
    std::size_t x = from;
    for (; x + 8 <= to; x += 8) {
        const std::uint64_t word = Load64(bytes + x);
        if (!HasZeroByte(word ^ spread[0]) && !HasZeroByte(word ^ spread[1]) && !HasZeroByte(word ^ spread[2])) {
            continue;
        }
        for (std::size_t i = x; i < x + 8; ++i) {
            if (matches(bytes[i])) {
                hits[count++] = static_cast<std::uint32_t>(i);
            }
        }
    }
    for (; x < to; ++x) {
        if (matches(bytes[x])) {
            hits[count++] = static_cast<std::uint32_t>(x);
        }
    }
    return count;
}

std::size_t PortableZeroEndScan(std::span<const std::uint8_t> data, std::size_t from, std::size_t to,
                                std::uint32_t* hits) {
    const std::uint8_t* bytes = data.data();
    std::size_t count = 0;
    for (std::size_t x = from; x < to;) {
        if (x + 8 <= to && Load64(bytes + x) == 0) {
            x += 8;
            continue;
        }
        if (bytes[x] != 0 && (x == 0 || bytes[x - 1] == 0)) {
            hits[count++] = static_cast<std::uint32_t>(x);
        }
        ++x;
    }
    return count;
}

#if defined(DOVRA_BYTE_SCAN_X86)

std::size_t AppendBits(std::uint64_t bits, std::size_t base, std::uint32_t* hits, std::size_t count) {
    while (bits != 0) {
        hits[count++] = static_cast<std::uint32_t>(base + static_cast<std::size_t>(std::countr_zero(bits)));
        bits &= bits - 1;
    }
    return count;
}

// Whether the byte before `from` is zero, or there is none: a stretch of zeros "ends" at the image's start.
std::uint64_t ZeroBefore(std::span<const std::uint8_t> data, std::size_t from) {
    return from == 0 || data[from - 1] == 0 ? 1 : 0;
}

std::size_t Sse2ValueScan(std::span<const std::uint8_t> data, std::size_t from, std::size_t to,
                          const ScanValues& values, std::uint32_t* hits) {
    if (values.count == 0) {
        return 0;
    }
    const __m128i v0 = _mm_set1_epi8(static_cast<char>(values.values[0]));
    const __m128i v1 = _mm_set1_epi8(static_cast<char>(values.values[values.count > 1 ? 1 : 0]));
    const __m128i v2 = _mm_set1_epi8(static_cast<char>(values.values[values.count > 2 ? 2 : 0]));
    const std::uint8_t* bytes = data.data();
    std::size_t count = 0;
    std::size_t x = from;
    for (; x + 32 <= to; x += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + x + 16));
        const __m128i ma =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, v0), _mm_cmpeq_epi8(a, v1)), _mm_cmpeq_epi8(a, v2));
        const __m128i mb =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, v0), _mm_cmpeq_epi8(b, v1)), _mm_cmpeq_epi8(b, v2));
        const auto bits =
            static_cast<std::uint32_t>(_mm_movemask_epi8(ma)) | static_cast<std::uint32_t>(_mm_movemask_epi8(mb)) << 16;
        if (bits != 0) {
            count = AppendBits(bits, x, hits, count);
        }
    }
    return count + PortableValueScan(data, x, to, values, hits + count);
}

std::size_t Sse2ZeroEndScan(std::span<const std::uint8_t> data, std::size_t from, std::size_t to, std::uint32_t* hits) {
    const __m128i zero = _mm_setzero_si128();
    const std::uint8_t* bytes = data.data();
    std::uint64_t before = ZeroBefore(data, from);
    std::size_t count = 0;
    std::size_t x = from;
    for (; x + 32 <= to; x += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + x + 16));
        // Bit i: byte x + i is zero.
        const std::uint64_t zeros = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, zero))) |
                                    static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, zero))) << 16;
        const std::uint64_t ends = ~zeros & ((zeros << 1) | before) & 0xFFFFFFFFull;
        before = zeros >> 31;
        if (ends != 0) {
            count = AppendBits(ends, x, hits, count);
        }
    }
    return count + PortableZeroEndScan(data, x, to, hits + count);
}

__attribute__((target("avx2"))) std::size_t Avx2ValueScan(std::span<const std::uint8_t> data, std::size_t from,
                                                          std::size_t to, const ScanValues& values,
                                                          std::uint32_t* hits) {
    if (values.count == 0) {
        return 0;
    }
    const __m256i v0 = _mm256_set1_epi8(static_cast<char>(values.values[0]));
    const __m256i v1 = _mm256_set1_epi8(static_cast<char>(values.values[values.count > 1 ? 1 : 0]));
    const __m256i v2 = _mm256_set1_epi8(static_cast<char>(values.values[values.count > 2 ? 2 : 0]));
    const std::uint8_t* bytes = data.data();
    std::size_t count = 0;
    std::size_t x = from;
    for (; x + 64 <= to; x += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + x));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + x + 32));
        const __m256i ma = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(a, v0), _mm256_cmpeq_epi8(a, v1)),
                                           _mm256_cmpeq_epi8(a, v2));
        const __m256i mb = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(b, v0), _mm256_cmpeq_epi8(b, v1)),
                                           _mm256_cmpeq_epi8(b, v2));
        const __m256i any = _mm256_or_si256(ma, mb);
        if (_mm256_testz_si256(any, any)) {
            continue;
        }
        const std::uint64_t bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(ma)) |
                                   static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(mb)))
                                       << 32;
        count = AppendBits(bits, x, hits, count);
    }
    return count + Sse2ValueScan(data, x, to, values, hits + count);
}

__attribute__((target("avx2"))) std::size_t Avx2ZeroEndScan(std::span<const std::uint8_t> data, std::size_t from,
                                                            std::size_t to, std::uint32_t* hits) {
    const __m256i zero = _mm256_setzero_si256();
    const std::uint8_t* bytes = data.data();
    std::uint64_t before = ZeroBefore(data, from);
    std::size_t count = 0;
    std::size_t x = from;
    for (; x + 64 <= to; x += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + x));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + x + 32));
        const __m256i any = _mm256_or_si256(a, b);
        // The fill of binaries: a stretch of zeros has no end inside it.
        if (_mm256_testz_si256(any, any)) {
            before = 1;
            continue;
        }
        // Bit i: byte x + i is zero.
        const std::uint64_t zeros =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, zero))) |
            static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, zero))))
                << 32;
        const std::uint64_t ends = ~zeros & ((zeros << 1) | before);
        before = zeros >> 63;
        count = AppendBits(ends, x, hits, count);
    }
    return count + PortableZeroEndScan(data, x, to, hits + count);
}

#endif

} // namespace

std::vector<ByteScans> AvailableByteScans() {
    std::vector<ByteScans> scans = {{&PortableValueScan, &PortableZeroEndScan}};
#if defined(DOVRA_BYTE_SCAN_X86)
    scans.push_back({&Sse2ValueScan, &Sse2ZeroEndScan});
    if (__builtin_cpu_supports("avx2")) {
        scans.push_back({&Avx2ValueScan, &Avx2ZeroEndScan});
    }
#endif
    return scans;
}

ByteScans FastestByteScans() {
    static const ByteScans fastest = AvailableByteScans().back();
    return fastest;
}

} // namespace dovra::detail
