#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// File-system services for the engine. Every path is code page 932 text; it is converted to the OS's form
// exactly or not at all (a path that cannot be converted behaves as one that does not exist).
namespace dovra {

class MappedFile;

struct FileCloser {
    void operator()(std::FILE* file) const;
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct DirectoryEntry {
    std::string path; // folder + separator + name
    std::string name;
    bool isDirectory = false;
};

// Entries of `folder` whose name ends in "." + `extension` in any letter case, "." and ".." excluded,
// in ascending byte order of their names. A missing folder gives none. An entry whose name has no exact
// code page 932 form is skipped and reported once through the message box.
std::vector<DirectoryEntry> FindFilesWithExtension(std::string_view folder, std::string_view extension);

bool PathExists(std::string_view path);
bool IsDirectory(std::string_view path);
// An existing folder counts as success.
bool CreateFolder(std::string_view path);
// Copies `from` (with the letter-case fallback of ResolveExistingFile) over `to`, replacing an existing
// destination atomically: afterwards `to` holds either the whole copy or what it held before.
bool CopyFileOverwriting(std::string_view from, std::string_view to);
bool RemoveFile(std::string_view path);
// True when both paths name one existing file (also through different spellings or links).
bool IsSameFile(std::string_view first, std::string_view second);

// Settings folders come from Windows, where file names ignore letter case: when no file has exactly the
// name in `path`, the one file of that folder whose name matches ignoring case is used instead. Gives the
// path to open, or nullopt when there is none (or more than one candidate).
std::optional<std::string> ResolveExistingFile(std::string_view path);

// Opens for reading in binary mode, with the letter-case fallback above. Only a regular file opens: not a
// folder, nor a named pipe or a device.
FilePtr OpenForReading(std::string_view path);
// The same without the fallback, for the binary files the user names.
FilePtr OpenForReadingExact(std::string_view path);

// Size of an open file in bytes, never truncated; nullopt when it cannot be determined.
std::optional<std::uint64_t> FileSize(std::FILE* file);

// What tells, without reading it, that a file is still the one read: its size, its times (nanoseconds
// since 1970; POSIX: last write and last status change, Windows: last write and creation) and, where the
// platform has them, its device and file number. A write sets the last write time to the moment of the
// write, so the stamp changes unless that time cannot be told from the one it had: see StampVouches.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    std::uint64_t device = 0;
    std::uint64_t number = 0;

    bool operator==(const FileStamp&) const = default;
};

// The stamp of an open regular file, and of the regular file at `path` (no letter-case fallback); nullopt
// when there is none.
std::optional<FileStamp> StampOf(std::FILE* file);
std::optional<FileStamp> StampAt(std::string_view path);

// Whether a stamp taken now will tell any later write of the file: false while its last write time is
// recent (or ahead of the clock), as a file system may keep times in steps as long as 2 s, and a second
// write within the step keeps the time of the first. A file whose time a program sets back after a write
// of the same size is told only by its status change time (POSIX) or not at all (Windows).
bool StampVouches(const FileStamp& stamp);

// Writes a file so that a complete file or nothing appears at `path`: the bytes go to a temporary file in
// the same folder (a short name of the tool's own, see temporary_names.h), which is flushed, synced and
// renamed over `path` only when every step succeeded. An interrupt removes the temporary file.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string_view path);
    ~AtomicFileWriter(); // removes the temporary file unless committed
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // The whole of a mapped file as this process holds it, as the only content of the file: see
    // WriteMappedFile; where that cannot be done, the bytes are written from memory.
    bool WriteMapped(const MappedFile& mapping, const void* data, std::size_t size);
    // The file gets the permission bits of the file at `path` where the platform has them; where that file
    // is gone, the file keeps the usual bits for a new file.
    void KeepPermissionsOf(std::string_view path);
    // Flushes, syncs, closes and renames over the target; false (and nothing at the target changed) on any
    // failure along the way, including an earlier failed Write.
    bool Commit();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::FILE* m_file = nullptr;
    bool m_failed = false;
    bool m_committed = false;
};

// Writes a file inside a folder that is not yet in place (an output folder being built): straight under
// its own name and without a flush of its own, since the folder is flushed once when all its files are
// written and only then given its name. A file not finished, or whose writing failed, is removed.
class StagedFileWriter {
public:
    explicit StagedFileWriter(std::string_view path);
    ~StagedFileWriter();
    StagedFileWriter(const StagedFileWriter&) = delete;
    StagedFileWriter& operator=(const StagedFileWriter&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // Closes the file; false (and the file removed) on any failure, including an earlier failed Write.
    bool Finish();

private:
    std::filesystem::path m_path;
    std::FILE* m_file = nullptr;
    bool m_failed = false;
    bool m_finished = false;
};

// Removes from `folder` whatever an earlier, killed run left under a temporary name of the tool's own
// (and nothing else).
void RemoveLeftoverTemporaries(const std::filesystem::path& folder);

bool WriteFileAtomically(std::string_view path, const void* data, std::size_t size);

// The existing folder's absolute path with every ".", ".." and link resolved, as the system sees it;
// nullopt when it does not exist or has no code page 932 form.
std::optional<std::string> ResolvedFolderPath(std::string_view folder);

} // namespace dovra
