#pragma once

#include <cstdint>
#include <string>

namespace dovra {

// The name and the numbers by which the commands handle a table.
struct TableSummary {
    std::string name;
    std::uint32_t baseAddress = 0;
    std::uint32_t tableSize = 0;
    std::uint32_t recordSize = 0;
};

} // namespace dovra
