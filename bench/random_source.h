#pragma once

#include <cstdint>
#include <span>

namespace dovra::bench {

// A small deterministic generator (splitmix64) with integer-only helpers, so a seed gives the same data
// on every platform and standard library: std::uniform_int_distribution is not specified bit for bit.
class RandomSource {
public:
    explicit RandomSource(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [low, high]; the modulo bias is irrelevant for test data.
    std::uint32_t Between(std::uint32_t low, std::uint32_t high) {
        return low + static_cast<std::uint32_t>(Next() % (std::uint64_t{high} - low + 1));
    }

    // Roughly uniform in the logarithm: a power-of-two band first, then a value inside it, drawn again when
    // it falls outside [low, high]. Sizes and counts of real tables spread over orders of magnitude, small
    // ones being about as common as large ones.
    std::uint32_t LogUniform(std::uint32_t low, std::uint32_t high) {
        const auto lowBits = static_cast<std::uint32_t>(BitWidth(low));
        const auto highBits = static_cast<std::uint32_t>(BitWidth(high));
        for (;;) {
            const std::uint32_t bits = Between(lowBits, highBits);
            const std::uint64_t bandLow = bits <= 1 ? 0 : std::uint64_t{1} << (bits - 1);
            const std::uint64_t value = bandLow + Next() % ((std::uint64_t{1} << bits) - bandLow);
            if (value >= low && value <= high) {
                return static_cast<std::uint32_t>(value);
            }
        }
    }

    bool Percent(std::uint32_t percent) { return Between(0, 99) < percent; }

    std::uint8_t Byte() { return static_cast<std::uint8_t>(Next()); }

    void Fill(std::span<std::uint8_t> bytes) {
        std::size_t i = 0;
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t value = Next();
            for (int k = 0; k < 8; ++k) {
                bytes[i + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value >> (8 * k));
            }
        }
        for (; i < bytes.size(); ++i) {
            bytes[i] = Byte();
        }
    }

private:
    static int BitWidth(std::uint32_t value) {
        int bits = 0;
        while (value != 0) {
            ++bits;
            value >>= 1;
        }
        return bits;
    }

    std::uint64_t m_state;
};

} // namespace dovra::bench
