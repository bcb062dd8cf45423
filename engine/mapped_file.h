#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

// A whole file mapped into memory copy-on-write: reading it takes the pages the system already caches,
// with no second copy, and writing into it changes only this process's copy of the pages written, never
// the file. Platform layer.
namespace dovra {

class MappedFile;
struct MappedFileDeleter {
    void operator()(MappedFile* mapping) const;
};
using MappedFilePtr = std::unique_ptr<MappedFile, MappedFileDeleter>;

// Maps the first `size` bytes (the whole file) of an open regular file, its pages read in up front.
// nullptr where the file cannot be mapped; the caller then reads it instead. Without `writable` the
// bytes are read-only where the platform gains by it (POSIX).
MappedFilePtr MapFileCopyOnWrite(std::FILE* file, std::uint32_t size, bool writable);

std::uint8_t* MappedBytes(const MappedFile& mapping);

// False once another program has shortened or rewritten the file since it was mapped: the bytes in
// memory may then be neither the old file nor the new one.
bool MappedFileUnchanged(const MappedFile& mapping);

// Writes the bytes as this process holds them to the start of the new, empty file `destination`: the
// system copies the pages the tool never wrote straight from the mapped file (they need not pass
// through this process), and only the pages it wrote go from memory. False where the platform cannot
// tell the two kinds of page apart or cannot copy between the files; `destination` is then emptied again
// and the caller writes the bytes itself.
bool WriteMappedFile(const MappedFile& mapping, std::FILE* destination);

} // namespace dovra
