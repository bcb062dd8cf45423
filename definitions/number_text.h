#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Number columns are read with the semantics of the C library conversions the Dovra editor uses.
namespace dovra {

// stoul(text, nullptr, 16) on 32 bits: leading white space, an optional sign, an optional 0x/0X prefix,
// then hexadecimal digits up to the first other byte. A minus negates modulo 2^32. nullopt when no digit can
// be read or the value is above FFFFFFFF.
std::optional<std::uint32_t> ParseHex32(std::string_view text);

// atoi(text): leading white space, an optional sign, decimal digits up to the first other byte; no digit
// gives 0. A value beyond 32 bits saturates at INT32_MAX or INT32_MIN, as the Windows run-time library does.
std::int32_t ParseAtoi(std::string_view text);

} // namespace dovra
