#pragma once

#include <string_view>

namespace dovra {

// Copies a file so that a complete copy or nothing appears at `to` (an existing file there is replaced
// only by a complete copy). The source is found with the letter-case fallback of OpenForReading, since a
// settings folder written on Windows may spell a definition file "TABLE.INI". A folder is not a file.
bool CopyFileAtomically(std::string_view from, std::string_view to);

// The same into a folder that is still being built (StagedFileWriter): no flush per file, and a failed
// copy leaves no file at `to`.
bool CopyFileStaged(std::string_view from, std::string_view to);

} // namespace dovra
