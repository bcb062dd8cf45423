#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Turning fuzz input into real files. The commands work on folders and files on disk, so the fuzzers
// describe a small folder tree in their input and let the engine read it as a user's folder.
//
// Input format: a sequence of entries, each a header line "@@ <relative path>" followed by the file's
// bytes up to the next header. A header is "@@ " at the start of the input or right after a line feed; that
// line feed separates the entries and belongs to neither, so a file's bytes may end in anything (a file
// that ends in a line feed has two before the next header). Bytes before the first header are ignored. A
// path ending in "/" makes a folder instead of a file. Path components are
// raw bytes (not necessarily UTF-8, as on a real disk); empty, "." and ".." components are dropped and NUL
// becomes "_", so every entry stays inside the scratch folder. Example:
//
//   @@ old/a.ini
//   1000,HP,2,4,0,,,0,,,
//
//   @@ old/a.idn
//   Alice
//   @@ old.bin
//   ...
//
// gives old/a.ini with one line and its line feed, and old/a.idn holding "Alice" without one.
namespace dovra::fuzz {

struct FuzzEntry {
    std::string path; // relative, "/"-separated
    std::string bytes;
    bool isFolder = false;
};

std::vector<FuzzEntry> ParseEntries(std::string_view input);

// Stops the process with a message on stderr: libFuzzer records the input as a crash.
[[noreturn]] void Fail(std::string_view what, std::string_view detail = {});

// A folder under the temporary folder (TMPDIR) owned by this process and removed at its exit; Reset()
// empties it before each input. Its path is plain ASCII, so the native and the code page 932 form agree.
class ScratchFolder {
public:
    static ScratchFolder& Instance();

    const std::filesystem::path& Path() const { return m_path; }
    // A path inside the folder in the engine's form ("" gives the folder itself).
    std::string Engine(std::string_view relative = {}) const;

    void Reset();
    // Empties the folder and writes the entries of `input` into it. Entries that cannot be made (a file
    // where a folder is needed, a name the file system refuses) are left out, as a user could not make
    // them either.
    void Populate(std::string_view input);

private:
    ScratchFolder();
    std::filesystem::path m_path;
};

// Every entry under `folder` (recursively, relative path → bytes, "<folder>" for folders), to show that
// the commands never change their inputs.
using TreeSnapshot = std::map<std::string, std::string>;
TreeSnapshot Snapshot(const std::filesystem::path& folder);

// Fails when `after` holds an entry that `before` lacks and whose name marks it as a file written
// half-way: the engine writes "<target>.tmp<digits>" and renames it only when complete.
void CheckNoNewTemporaryFiles(const TreeSnapshot& before, const TreeSnapshot& after);

// Sends message boxes nowhere: a fuzzer meets thousands of them.
void SilenceMessageBoxes();

// What every folder fuzzer does first with an input: message boxes silenced (once per process), then the
// scratch folder populated from the input's bytes.
ScratchFolder& ScratchFolderFor(const std::uint8_t* data, std::size_t size);

} // namespace dovra::fuzz
