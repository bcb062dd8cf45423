#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace dovra {

// A whole file held in memory: either empty (no buffer, size 0) or a buffer of size >= 1 bytes.
struct BinaryImage {
    std::unique_ptr<std::uint8_t[]> data;
    std::uint32_t size = 0;

    bool IsLoaded() const { return data != nullptr; }
    void Clear() {
        data.reset();
        size = 0;
    }
};

// Reads the file at `path` whole. On failure shows the cause in the message box and leaves `data` and
// `size` untouched. Files of 4 GiB or more are refused: every address and size in the tool is 32 bits.
bool ReadWholeFile(std::string_view path, std::unique_ptr<std::uint8_t[]>& data, std::uint32_t& size);

} // namespace dovra
