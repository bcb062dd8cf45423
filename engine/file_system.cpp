#include "engine/file_system.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include <fmt/printf.h>

#include "engine/encoding.h"
#include "engine/failure_reason.h"
#include "engine/interrupt_cleanup.h"
#include "engine/mapped_file.h"
#include "engine/message_box.h"
#include "engine/native_path.h"
#include "engine/path_text.h"
#include "engine/temporary_names.h"
#include "engine/texts.h"

namespace dovra {
namespace {

bool EndsWithExtension(std::string_view name, std::string_view extension) {
    if (name.size() < extension.size() + 1) {
        return false;
    }
    std::string_view tail = name.substr(name.size() - extension.size() - 1);
    return tail[0] == '.' && EqualsIgnoringCase(tail.substr(1), extension);
}

// The folder to list for entries of `folder`: its text with the platform's separator appended, so that the
// empty folder means the root as it does for the Dovra editor.
std::optional<std::filesystem::path> SearchFolder(std::string_view folder) {
    return ToNativePath(std::string(folder) + kPathSeparator);
}

// Names of the entries of a folder in code page 932; entries without an exact form go to `unrepresentable`.
struct FolderListing {
    std::vector<std::pair<std::string, bool>> entries; // name, is a directory
    std::vector<std::string> unrepresentable;          // UTF-8
};

template <typename Filter> FolderListing ListFolder(std::string_view folder, Filter wanted) {
    FolderListing listing;
    auto native = SearchFolder(folder);
    if (!native) {
        return listing;
    }
    std::error_code error;
    std::filesystem::directory_iterator it(*native, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::string utf8Name = NativeToUtf8Lossy(it->path().filename());
        if (!wanted(utf8Name)) {
            continue;
        }
        auto name = FromNativePath(it->path().filename());
        if (!name) {
            listing.unrepresentable.push_back(utf8Name);
            continue;
        }
        std::error_code statusError;
        listing.entries.emplace_back(*name, it->is_directory(statusError));
    }
    return listing;
}

// The end of writing a file: its buffered bytes go out (a full disk often shows only here), `push` takes
// them further towards the disk, and the file is closed whatever happened. The first failure is the one
// noted. `file` is null afterwards; false on any failure.
bool FlushAndClose(std::FILE*& file, bool (*push)(std::FILE*)) {
    errno = 0;
    const bool flushed = std::fflush(file) == 0 && push(file);
    if (!flushed) {
        NoteFailureFromErrno();
    }
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    if (flushed && !closed) {
        NoteFailureFromErrno();
    }
    file = nullptr;
    return flushed && closed;
}

} // namespace

void FileCloser::operator()(std::FILE* file) const {
    if (file != nullptr) {
        std::fclose(file);
    }
}

std::vector<DirectoryEntry> FindFilesWithExtension(std::string_view folder, std::string_view extension) {
    FolderListing listing =
        ListFolder(folder, [&](const std::string& utf8Name) { return EndsWithExtension(utf8Name, extension); });
    for (const auto& name : listing.unrepresentable) {
        ShowMessageBox(fmt::sprintf(text::kUnrepresentableEntry, std::string(folder), Utf8ToCp932Lossy(name)));
    }
    std::vector<DirectoryEntry> result;
    for (auto& [name, isDirectory] : listing.entries) {
        if (name == "." || name == "..") {
            continue;
        }
        result.push_back(DirectoryEntry{JoinPath(folder, name), name, isDirectory});
    }
    std::sort(result.begin(), result.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return result;
}

bool PathExists(std::string_view path) {
    auto native = ToNativePath(path);
    std::error_code error;
    return native && std::filesystem::exists(*native, error);
}

bool IsDirectory(std::string_view path) {
    auto native = ToNativePath(path);
    std::error_code error;
    return native && std::filesystem::is_directory(*native, error);
}

bool CreateFolder(std::string_view path) {
    auto native = ToNativePath(path);
    if (!native) {
        NoteFailure({});
        return false;
    }
    std::error_code error;
    std::filesystem::create_directory(*native, error);
    std::error_code statusError;
    if (std::filesystem::is_directory(*native, statusError)) {
        return true;
    }
    // A file in the way is said the same on every system; other failures as the system gives them.
    const bool fileInTheWay = std::filesystem::exists(*native, statusError);
    NoteFailure(fileInTheWay || !error ? std::make_error_code(std::errc::file_exists) : error);
    return false;
}

bool CopyFileOverwriting(std::string_view from, std::string_view to) {
    // The source is found as the editor would find it (letter-case fallback); the destination is replaced
    // whole or left as it was, so a failed copy never leaves a truncated definition file behind.
    FilePtr source = OpenForReading(from);
    if (!source) {
        return false;
    }
    AtomicFileWriter destination(to);
    char buffer[65536];
    std::size_t count;
    errno = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, source.get())) > 0) {
        if (!destination.Write(buffer, count)) {
            return false;
        }
    }
    if (std::ferror(source.get())) {
        NoteFailureFromErrno();
        return false;
    }
    return destination.Commit();
}

bool RemoveFile(std::string_view path) {
    auto native = ToNativePath(path);
    std::error_code error;
    return native && std::filesystem::remove(*native, error);
}

bool IsSameFile(std::string_view first, std::string_view second) {
    auto nativeFirst = ToNativePath(first);
    auto nativeSecond = ToNativePath(second);
    std::error_code error;
    return nativeFirst && nativeSecond && std::filesystem::equivalent(*nativeFirst, *nativeSecond, error);
}

std::optional<std::string> ResolveExistingFile(std::string_view path) {
    auto native = ToNativePath(path);
    if (!native) {
        return std::nullopt;
    }
    std::error_code error;
    if (std::filesystem::exists(*native, error)) {
        return std::string(path);
    }
    std::string_view wantedName = FileNamePart(path);
    std::string_view folderText = path.substr(0, path.size() - wantedName.size());
    // An empty folder part means the current folder, not the root.
    auto folderNative = folderText.empty() ? std::optional<std::filesystem::path>(".") : ToNativePath(folderText);
    if (!folderNative) {
        return std::nullopt;
    }
    std::optional<std::string> match;
    int matches = 0;
    std::filesystem::directory_iterator it(*folderNative, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        auto name = FromNativePath(it->path().filename());
        if (name && EqualsIgnoringCase(*name, wantedName)) {
            ++matches;
            match = std::string(folderText) + *name;
        }
    }
    // Two names that differ only in letter case would be one file on Windows; there is no telling which
    // one the editor meant, so neither is taken.
    return matches == 1 ? match : std::nullopt;
}

FilePtr OpenForReading(std::string_view path) {
    // The exact name first: it is nearly always there, and then the open is the only call made. The
    // letter-case search runs only where it did not open.
    if (FilePtr file = OpenForReadingExact(path)) {
        return file;
    }
    auto resolved = ResolveExistingFile(path);
    if (!resolved) {
        NoteFailure(std::make_error_code(std::errc::no_such_file_or_directory));
        return nullptr;
    }
    // The exact name is there but did not open: its reason is noted already.
    return *resolved != path ? OpenForReadingExact(*resolved) : nullptr;
}

FilePtr OpenForReadingExact(std::string_view path) {
    auto native = ToNativePath(path);
    // Only a regular file is read: a folder is not a file, and reading a named pipe would wait for a
    // writer forever, freezing the tool.
    if (native) {
        errno = 0;
        if (std::FILE* file = OpenRegularForReadingNative(*native)) {
            return FilePtr(file);
        }
    }
    // Only where it did not open is the reason looked for.
    const int openError = errno;
    std::error_code statusError;
    const bool folder = native && std::filesystem::is_directory(*native, statusError);
    const bool there = native && std::filesystem::exists(*native, statusError);
    NoteFailure(folder           ? std::make_error_code(std::errc::is_a_directory)
                : !there         ? std::make_error_code(std::errc::no_such_file_or_directory)
                : openError != 0 ? std::error_code(openError, std::generic_category())
                                 : std::error_code());
    return nullptr;
}

bool StampVouches(const FileStamp& stamp) {
    // Times ahead of the clock (another machine's, on a shared folder) vouch for nothing either.
    constexpr std::int64_t kTimeStep = 2'000'000'000;
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    return stamp.modified < now - kTimeStep;
}

AtomicFileWriter::AtomicFileWriter(std::string_view path) {
    auto target = ToNativePath(path);
    if (!target) {
        NoteFailure({});
        m_failed = true;
        return;
    }
    m_target = *target;
    for (int attempt = 0; attempt < 16 && m_file == nullptr; ++attempt) {
        auto candidate = m_target.parent_path() / NextTemporaryName();
        errno = 0;
        m_file = OpenNative(candidate, "wbx");
        if (m_file != nullptr) {
            m_temporary = candidate;
            RegisterInProgress(m_temporary);
        }
    }
    m_failed = m_file == nullptr;
    if (m_failed) {
        NoteFailureFromErrno();
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
    if (!m_committed && !m_temporary.empty()) {
        std::error_code error;
        std::filesystem::remove(m_temporary, error);
    }
    if (!m_temporary.empty()) {
        UnregisterInProgress(m_temporary);
    }
}

void AtomicFileWriter::KeepPermissionsOf(std::string_view path) {
    auto source = ToNativePath(path);
    if (m_file != nullptr && source) {
        CopyPermissionsNative(m_file, *source);
    }
}

bool AtomicFileWriter::Write(const void* data, std::size_t size) {
    if (m_file == nullptr || m_failed) {
        // The reason was recorded where the writer first failed.
        m_failed = true;
        return false;
    }
    errno = 0;
    if (size > 0 && std::fwrite(data, 1, size, m_file) != size) {
        NoteFailureFromErrno();
        m_failed = true;
    }
    return !m_failed;
}

bool AtomicFileWriter::WriteMapped(const MappedFile& mapping, const void* data, std::size_t size) {
    if (m_file != nullptr && !m_failed && WriteMappedFile(mapping, m_file)) {
        return true;
    }
    return Write(data, size);
}

bool AtomicFileWriter::Commit() {
    if (m_file == nullptr || m_failed) {
        return false;
    }
    if (!FlushAndClose(m_file, SyncNative)) {
        m_failed = true;
        return false;
    }
    errno = 0;
    if (!RenameReplacingNative(m_temporary, m_target)) {
        // A folder in the way is said the same on every system; otherwise errno, which the rename on
        // Windows leaves unset (the line then goes without a reason).
        std::error_code statusError;
        if (std::filesystem::is_directory(m_target, statusError)) {
            NoteFailure(std::make_error_code(std::errc::is_a_directory));
        } else {
            NoteFailureFromErrno();
        }
        m_failed = true;
        return false;
    }
    m_committed = true;
    return true;
}

StagedFileWriter::StagedFileWriter(std::string_view path) {
    auto native = ToNativePath(path);
    if (!native) {
        NoteFailure({});
        m_failed = true;
        return;
    }
    m_path = *native;
    errno = 0;
    m_file = OpenNative(m_path, "wb");
    m_failed = m_file == nullptr;
    if (m_failed) {
        NoteFailureFromErrno();
    }
}

StagedFileWriter::~StagedFileWriter() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
    // Opening may have created the file even where it then failed.
    if (!m_finished && !m_path.empty()) {
        std::error_code error;
        std::filesystem::remove(m_path, error);
    }
}

bool StagedFileWriter::Write(const void* data, std::size_t size) {
    if (m_file == nullptr || m_failed) {
        // The reason was recorded where the writer first failed.
        m_failed = true;
        return false;
    }
    errno = 0;
    if (size > 0 && std::fwrite(data, 1, size, m_file) != size) {
        NoteFailureFromErrno();
        m_failed = true;
    }
    return !m_failed;
}

bool StagedFileWriter::Finish() {
    if (m_file == nullptr || m_failed) {
        return false;
    }
    m_failed = !FlushAndClose(m_file, FinishStagedFileNative);
    m_finished = !m_failed;
    return m_finished;
}

void RemoveLeftoverTemporaries(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::directory_iterator it(folder.empty() ? std::filesystem::path(".") : folder, error);
    std::vector<std::filesystem::path> leftovers;
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (IsTemporaryName(NativeToUtf8Lossy(it->path().filename()))) {
            leftovers.push_back(it->path());
        }
    }
    for (const auto& path : leftovers) {
        std::error_code removeError;
        std::filesystem::remove_all(path, removeError);
    }
}

bool WriteFileAtomically(std::string_view path, const void* data, std::size_t size) {
    AtomicFileWriter writer(path);
    return writer.Write(data, size) && writer.Commit();
}

std::optional<std::string> ResolvedFolderPath(std::string_view folder) {
    auto native = ToNativePath(folder);
    if (!native) {
        return std::nullopt;
    }
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::canonical(*native, error);
    if (error) {
        return std::nullopt;
    }
    return FromNativePath(resolved);
}

} // namespace dovra
