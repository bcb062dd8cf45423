#pragma once

#include <optional>
#include <string>
#include <string_view>

// Windows only: code page 932 text to and from UTF-16, the form of every wide Win32 and CRT call. Exact in
// both directions, with the same round-trip rule as the conversions of encoding.h, so a path reaches the OS
// unaltered whatever the system's ANSI code page is (the narrow "A" calls would go through that one).
namespace dovra {

std::optional<std::wstring> Cp932ToWide(std::string_view cp932);
std::optional<std::string> WideToCp932(std::wstring_view wide);

} // namespace dovra
