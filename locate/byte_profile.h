#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// How often each byte value stands in an image, from every `stride`-th position from the start. The
// alignment chooses its sampled bytes by it and the similarity its filler values; at the same stride one
// pass over a large image serves both.
namespace dovra::detail {

struct ByteProfile {
    std::array<std::uint64_t, 256> counts{};
    std::uint64_t total = 0;    // positions looked at
    std::uint64_t zeroEnds = 0; // of those, the ones whose byte is not zero and follows a zero
    std::size_t stride = 1;
};

inline ByteProfile ProfileBytes(std::span<const std::uint8_t> image, std::size_t stride) {
    ByteProfile profile;
    profile.stride = stride;
    for (std::size_t i = 0; i < image.size(); i += stride) {
        ++profile.counts[image[i]];
        ++profile.total;
        profile.zeroEnds += i > 0 && image[i] != 0 && image[i - 1] == 0 ? 1 : 0;
    }
    return profile;
}

// The stride at which the similarity's filler values are profiled.
inline constexpr std::size_t kFillerProfileStride = 61;

} // namespace dovra::detail
