#include "engine/binary_image.h"

#include <cstdio>
#include <limits>
#include <new>

#include "engine/failure_reason.h"
#include "engine/file_system.h"
#include "engine/message_box.h"
#include "engine/texts.h"

namespace dovra {

bool ReadWholeFile(std::string_view path, std::unique_ptr<std::uint8_t[]>& data, std::uint32_t& size) {
    // Binary paths are taken exactly (the letter-case fallback is for settings folders), and a folder is
    // not a file even where the system would open it.
    FilePtr file = OpenForReadingExact(path);
    if (!file) {
        // Why, when the system said: a mistyped name, a folder, a file the user may not read.
        ShowMessageBox(WithFailureReason(text::kCannotOpenFile));
        return false;
    }
    std::optional<std::uint64_t> fileSize = FileSize(file.get());
    if (!fileSize || *fileSize == 0) {
        ShowMessageBox(text::kFileSizeZero);
        return false;
    }
    // Every address and size in the tool is 32 bits; a larger file cannot be described, only truncated.
    if (*fileSize > std::numeric_limits<std::uint32_t>::max()) {
        ShowMessageBox(text::kFileTooLarge);
        return false;
    }
    const auto byteCount = static_cast<std::uint32_t>(*fileSize);
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[byteCount]);
    if (!buffer) {
        ShowMessageBox(text::kAllocationFailed);
        return false;
    }
    if (std::fread(buffer.get(), 1, byteCount, file.get()) != byteCount) {
        ShowMessageBox(text::kReadFailed);
        return false;
    }
    data = std::move(buffer);
    size = byteCount;
    return true;
}

} // namespace dovra
