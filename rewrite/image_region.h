#pragma once

#include <cstdint>
#include <span>

#include "engine/binary_image.h"

// A table's region in a binary image: the bytes from its base address, as many as its size.
namespace dovra {

// True when the whole region lies inside the image. The end is computed in 64 bits, so a region whose sum
// wraps around 32 bits is outside, and one whose last byte is the image's last byte is inside.
bool RegionFits(const BinaryImage& image, std::uint32_t base, std::uint32_t size);

// The region's bytes; only for a region that RegionFits accepted.
std::span<const std::uint8_t> RegionBytes(const BinaryImage& image, std::uint32_t base, std::uint32_t size);
std::span<std::uint8_t> RegionBytes(BinaryImage& image, std::uint32_t base, std::uint32_t size);

// Number of positions at which two regions of one length hold different bytes: bytes, not fields, so a
// 4-byte value that differs in one byte counts once.
std::uint32_t CountDifferingBytes(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second);

// True when the first `length` bytes of both regions are equal (length no more than either region's size).
bool LeadingBytesEqual(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second, std::uint32_t length);

} // namespace dovra
