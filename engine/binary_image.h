#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/image_bytes.h"

namespace dovra {

// A whole file held in memory: either empty (no bytes, size 0) or size >= 1 bytes, mapped or read.
struct BinaryImage {
    ImageBytes data;
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

// The same, mapping the file where it can be mapped and reading it where not; the same failures and
// messages. Writing into the bytes never changes the file. An image that no command edits (the old binary,
// the unmodified old binary) is loaded with `editable` false: where the file is mapped its bytes are then
// read-only, and writing into them ends the process. That spares the system a pass over every page of the
// mapping to allow writes (about 55 ms for each 1 GiB here).
bool LoadWholeFile(std::string_view path, ImageBytes& data, std::uint32_t& size, bool editable = true);

} // namespace dovra
