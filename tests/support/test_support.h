#pragma once

#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/definition_updater.h"

namespace dovra::test {

// Code page 932 bytes of a UTF-8 literal: Sj(u8"表.ini"). Fails the test when there is no exact form.
std::string Sj(std::u8string_view utf8);
std::string Sj(std::string_view utf8);

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The folder, or a path inside it given in UTF-8 with "/", as code page 932 text for the engine, with
    // the platform's separators.
    std::string Cp932() const;
    std::string Cp932(std::u8string_view relative) const;
    std::filesystem::path Native(std::u8string_view relative) const { return m_path / relative; }

private:
    std::filesystem::path m_path;
};

// Writes the bytes exactly (creating parent folders); reads a whole file back ("" when missing).
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

// Whether names in `folder` that differ only in letter case are different files (POSIX file systems), or
// one file (Windows, and so under Wine). Creates and removes a probe file in `folder`.
bool NamesAreCaseSensitive(const std::filesystem::path& folder);

// Every entry under `root`, recursively: relative path → the file's bytes, or "<folder>". Entries whose
// first path component is in `skipped` are left out (a command's outputs beside its inputs). A file above
// 64 MiB is noted by its size and modification time alone, so a sparse 4 GiB input is not read whole.
// Comparing two snapshots shows whether anything under `root` changed.
using TreeSnapshot = std::map<std::string, std::string>;
TreeSnapshot SnapshotTree(const std::filesystem::path& root, const std::vector<std::string>& skipped = {});

// Everything the engine says while a test runs: log lines, questions (answered from `answers`, then with
// `defaultAnswer`) and message boxes.
class CapturedChannels {
public:
    explicit CapturedChannels(CDefinitionUpdater& engine);
    ~CapturedChannels();
    CapturedChannels(const CapturedChannels&) = delete;
    CapturedChannels& operator=(const CapturedChannels&) = delete;

    std::vector<std::string> log;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::deque<bool> answers;
    bool defaultAnswer = true;
};

} // namespace dovra::test
