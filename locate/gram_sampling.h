#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "locate/byte_profile.h"
#include "locate/byte_scan.h"

// The alignment's sampled grams (locate/image_alignment.h): 16-byte grams chosen by their own bytes, so
// that the same bytes are chosen in both images wherever they stand, kept where they occur once.
namespace dovra::detail {

// Where grams are sampled. Usually at the bytes of a few rare values; in an image that is mostly zeros,
// where a zero stretch ends.
struct SamplePlan {
    std::vector<std::uint8_t> triggers;
    // Mostly zeros: grams start where a zero stretch ends (one in 2^clusterBits of those places, chosen by
    // the gram's bytes), as rare values alone would leave too few anchors.
    bool zeroClusters = false;
    int clusterBits = 0;
};

// Chosen from one image's profile and used for both images.
SamplePlan ChoosePlan(const ByteProfile& profile);

// A gram by where it starts in its image and a hash of its bytes (even: the lowest bit is the sampler's
// own). Eight bytes rather than the gram's sixteen and an offset: the samples of a large image fill
// megabytes, and on some machines every fresh page of them costs more than sorting it.
struct GramSample {
    std::uint32_t key;
    std::uint32_t offset;
};

inline std::uint32_t GramKey(std::uint64_t low, std::uint64_t high) {
    return static_cast<std::uint32_t>(((low ^ (high * 0xC2B2AE3D27D4EB4Full)) * 0x9E3779B97F4A7C15ull) >> 32) &
           ~std::uint32_t{1};
}

// The order of grams UniqueSamples leaves them in, for grams of one image or of two: by key, then by the
// gram's bytes (read from the images only where the keys are equal).
inline bool GramLess(const GramSample& a, const std::uint8_t* imageA, const GramSample& b, const std::uint8_t* imageB) {
    if (a.key != b.key) {
        return a.key < b.key;
    }
    std::uint64_t gramA[2];
    std::uint64_t gramB[2];
    std::memcpy(gramA, imageA + a.offset, sizeof gramA);
    std::memcpy(gramB, imageB + b.offset, sizeof gramB);
    return gramA[0] != gramB[0] ? gramA[0] < gramB[0] : gramA[1] < gramB[1];
}

// The grams the plan samples that occur once in the image and do not repeat among the recent samples of
// their trigger value, in GramLess order, as the alignment pairs them. Runs of one value (padding, zero
// tables) are never sampled. `scans` finds the places; all give the same.
std::vector<GramSample> UniqueSamples(std::span<const std::uint8_t> image, const SamplePlan& plan,
                                      ByteScans scans = FastestByteScans());

} // namespace dovra::detail
