#include <io.h>
#include <windows.h>

#include "engine/mapped_file.h"

// While a view of a file is mapped, Windows refuses to shorten that file (ERROR_USER_MAPPED_FILE), so a
// mapped binary cannot vanish under the tool as it can on POSIX systems; only its bytes can change.
namespace dovra {

class MappedFile {
public:
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE section = nullptr;
    std::uint8_t* bytes = nullptr;
    FILETIME loaded{};
};

namespace {

bool LastWrite(HANDLE file, FILETIME& time) {
    return GetFileTime(file, nullptr, nullptr, &time) != 0;
}

} // namespace

void MappedFileDeleter::operator()(MappedFile* mapping) const {
    if (mapping->bytes != nullptr) {
        UnmapViewOfFile(mapping->bytes);
    }
    if (mapping->section != nullptr) {
        CloseHandle(mapping->section);
    }
    if (mapping->file != INVALID_HANDLE_VALUE) {
        CloseHandle(mapping->file);
    }
    delete mapping;
}

MappedFilePtr MapFileCopyOnWrite(std::FILE* file, std::uint32_t size, bool) {
    // A copy-on-write view costs nothing more than a read-only one here: both are filled page by page.
    MappedFilePtr mapping(new MappedFile);
    HANDLE process = GetCurrentProcess();
    auto crtHandle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    // A handle of its own, so the mapping outlives the C stream.
    if (!DuplicateHandle(process, crtHandle, process, &mapping->file, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        mapping->file = INVALID_HANDLE_VALUE;
        return nullptr;
    }
    if (!LastWrite(mapping->file, mapping->loaded)) {
        return nullptr;
    }
    mapping->section = CreateFileMappingW(mapping->file, nullptr, PAGE_WRITECOPY, 0, size, nullptr);
    if (mapping->section == nullptr) {
        return nullptr;
    }
    mapping->bytes = static_cast<std::uint8_t*>(MapViewOfFile(mapping->section, FILE_MAP_COPY, 0, 0, size));
    if (mapping->bytes == nullptr) {
        return nullptr;
    }
    return mapping;
}

std::uint8_t* MappedBytes(const MappedFile& mapping) {
    return mapping.bytes;
}

bool MappedFileUnchanged(const MappedFile& mapping) {
    FILETIME now{};
    return LastWrite(mapping.file, now) && CompareFileTime(&now, &mapping.loaded) == 0;
}

bool WriteMappedFile(const MappedFile&, std::FILE*) {
    // Windows can tell which pages of a view were copied (QueryWorkingSetEx) but has no copy between two
    // files that leaves the rest to the system; the caller's plain write is as good.
    return false;
}

} // namespace dovra
