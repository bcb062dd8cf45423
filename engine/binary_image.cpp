#include "engine/binary_image.h"

#include <cstdio>
#include <limits>
#include <new>
#include <optional>

#include "engine/failure_reason.h"
#include "engine/file_system.h"
#include "engine/mapped_file.h"
#include "engine/message_box.h"
#include "engine/texts.h"

namespace dovra {

namespace {

// The checks both ways of loading share; the file's size, or nullopt after the message was shown.
std::optional<std::uint32_t> CheckedSize(std::FILE* file) {
    std::optional<std::uint64_t> fileSize = FileSize(file);
    if (!fileSize || *fileSize == 0) {
        ShowMessageBox(text::kFileSizeZero);
        return std::nullopt;
    }
    // Every address and size in the tool is 32 bits; a larger file cannot be described, only truncated.
    if (*fileSize > std::numeric_limits<std::uint32_t>::max()) {
        ShowMessageBox(text::kFileTooLarge);
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*fileSize);
}

// Binary paths are taken exactly (the letter-case fallback is for settings folders), and a folder is not
// a file even where the system would open it.
FilePtr OpenBinary(std::string_view path) {
    FilePtr file = OpenForReadingExact(path);
    if (!file) {
        // Why, when the system said: a mistyped name, a folder, a file the user may not read.
        ShowMessageBox(WithFailureReason(text::kCannotOpenFile));
    }
    return file;
}

bool ReadOpenFile(std::FILE* file, std::uint32_t byteCount, std::unique_ptr<std::uint8_t[]>& data,
                  std::uint32_t& size) {
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[byteCount]);
    if (!buffer) {
        ShowMessageBox(text::kAllocationFailed);
        return false;
    }
    if (std::fread(buffer.get(), 1, byteCount, file) != byteCount) {
        ShowMessageBox(text::kReadFailed);
        return false;
    }
    data = std::move(buffer);
    size = byteCount;
    return true;
}

} // namespace

bool ReadWholeFile(std::string_view path, std::unique_ptr<std::uint8_t[]>& data, std::uint32_t& size) {
    FilePtr file = OpenBinary(path);
    if (!file) {
        return false;
    }
    std::optional<std::uint32_t> byteCount = CheckedSize(file.get());
    return byteCount && ReadOpenFile(file.get(), *byteCount, data, size);
}

bool LoadWholeFile(std::string_view path, ImageBytes& data, std::uint32_t& size, bool editable) {
    FilePtr file = OpenBinary(path);
    if (!file) {
        return false;
    }
    std::optional<std::uint32_t> byteCount = CheckedSize(file.get());
    if (!byteCount) {
        return false;
    }
    if (MappedFilePtr mapping = MapFileCopyOnWrite(file.get(), *byteCount, editable)) {
        data = ImageBytes(std::move(mapping));
        size = *byteCount;
        return true;
    }
    std::unique_ptr<std::uint8_t[]> buffer;
    if (!ReadOpenFile(file.get(), *byteCount, buffer, size)) {
        return false;
    }
    data = ImageBytes(std::move(buffer));
    return true;
}

} // namespace dovra
