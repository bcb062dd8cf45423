// The create command over a fuzzed old settings folder "old/" and binaries "old.bin" and "new.bin", every
// question answered yes. After each run: the inputs are unchanged; every definition file the log
// announces is complete (a byte copy of its source, or lines that each begin with a valid address); a
// table file the log does not announce is as it was before the run; no temporary file is left behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "engine/file_system.h"
#include "engine/path_text.h"
#include "engine/text_lines.h"
#include "engine/texts.h"
#include "fuzz/fuzz_folder.h"

namespace {

using dovra::fuzz::Fail;
using dovra::fuzz::TreeSnapshot;

bool IsUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

std::vector<std::string_view> Lines(std::string_view content) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        end = end == std::string_view::npos ? content.size() : end + 1;
        lines.push_back(content.substr(start, end - start));
        start = end;
    }
    return lines;
}

// A shifted definition file has the lines of its source (text mode), one for one: a line whose first
// piece holds a comma starts with the address in upper-case hexadecimal without leading zeros (1 to 8
// digits), then a comma; a line without any comma is the source's, byte for byte.
void CheckShiftedLines(const std::string& content, const std::string& source, const std::string& path) {
    const auto written = Lines(content);
    const auto original = Lines(source);
    if (written.size() != original.size()) {
        Fail("a written definition file does not keep its source's lines", path);
    }
    for (std::size_t i = 0; i < written.size(); ++i) {
        std::string_view line = written[i];
        std::string_view firstPiece = original[i].substr(0, dovra::kLinePieceMax);
        firstPiece = firstPiece.substr(0, firstPiece.find('\0'));
        if (firstPiece.find(',') == std::string_view::npos) {
            // Only a later piece of a long line can hold an address to move.
            if (original[i].find(',') == std::string_view::npos && line != original[i]) {
                Fail("a line without an address changed", path + ": " + std::string(line));
            }
            continue;
        }
        std::size_t digits = 0;
        while (digits < line.size() && IsUpperHexDigit(line[digits])) {
            ++digits;
        }
        if (digits == 0 || digits > 8 || digits == line.size() || line[digits] != ',' ||
            (digits > 1 && line[0] == '0')) {
            Fail("a written definition line has no valid address", path + ": " + std::string(line));
        }
    }
}

std::optional<std::string> ReadEngineFile(const std::string& path) {
    dovra::FilePtr file = dovra::OpenForReading(path);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, count);
    }
    return bytes;
}

bool Logged(const std::vector<std::string>& log, const std::string& line) {
    return std::find(log.begin(), log.end(), line) != log.end();
}

void CheckTableOutputs(const CDefinitionUpdater& engine, const std::vector<std::string>& log,
                       const TreeSnapshot& outputBefore) {
    auto& scratch = dovra::fuzz::ScratchFolder::Instance();
    for (const auto& [name, summary] : engine.OldSummaries()) {
        const std::string fileName = name + ".ini";
        const std::string source = dovra::JoinPath(scratch.Engine("old"), fileName);
        const std::string destination = dovra::JoinPath(scratch.Engine("old_NEW"), fileName);
        const auto written = ReadEngineFile(destination);
        if (!Logged(log, fmt::format(fmt::runtime(dovra::text::kWrittenTo), destination))) {
            auto before = outputBefore.find(fileName);
            bool unchanged =
                before == outputBefore.end() ? !dovra::PathExists(destination) : written && *written == before->second;
            if (!unchanged && !(before != outputBefore.end() && before->second == "<folder>")) {
                Fail("a definition file changed although the log does not announce it", destination);
            }
            continue;
        }
        if (!written) {
            Fail("an announced definition file cannot be read", destination);
        }
        if (Logged(log, fmt::format(fmt::runtime(dovra::text::kCopiedFrom), source))) {
            if (written != ReadEngineFile(source)) {
                Fail("a copied definition file differs from its source", destination);
            }
        } else {
            const auto sourceText = dovra::ReadTextModeFile(source);
            if (!sourceText) {
                Fail("a shifted definition file's source cannot be read", source);
            }
            CheckShiftedLines(*written, *sourceText, destination);
        }
    }
}

TreeSnapshot InputSnapshot(const std::filesystem::path& root) {
    TreeSnapshot snapshot = dovra::fuzz::Snapshot(root);
    std::erase_if(snapshot, [](const auto& entry) { return entry.first.starts_with("old_NEW"); });
    return snapshot;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& scratch = dovra::fuzz::ScratchFolderFor(data, size);
    const auto outputFolder = scratch.Path() / "old_NEW";
    const TreeSnapshot inputsBefore = InputSnapshot(scratch.Path());
    const TreeSnapshot outputBefore = dovra::fuzz::Snapshot(outputFolder);
    const bool outputExisted = std::filesystem::exists(outputFolder);

    CDefinitionUpdater engine;
    std::vector<std::string> log;
    engine.m_log = [&log](const std::string& line) { log.push_back(line); };
    engine.m_confirm = [](const std::string&) { return true; };
    // The create button's order; a settings folder that is not there, or a binary that does not load,
    // ends the click. A missing folder must never be taken for an empty one.
    const bool oldFolderThere = std::filesystem::is_directory(scratch.Path() / "old");
    if (engine.LoadOldSettings(scratch.Engine("old")) != oldFolderThere) {
        Fail("the old settings folder's load does not say whether the folder is there");
    }
    if (!oldFolderThere) {
        if (std::filesystem::exists(outputFolder) != outputExisted ||
            dovra::fuzz::Snapshot(outputFolder) != outputBefore) {
            Fail("an output was made for a settings folder that is not there");
        }
        return 0;
    }
    if (!engine.LoadOldBinary(scratch.Engine("old.bin")) || !engine.LoadNewBinary(scratch.Engine("new.bin"))) {
        return 0;
    }
    engine.CreateDefinitions();

    if (InputSnapshot(scratch.Path()) != inputsBefore) {
        Fail("the create command changed an input");
    }
    CheckTableOutputs(engine, log, outputBefore);
    dovra::fuzz::CheckNoNewTemporaryFiles(outputBefore, dovra::fuzz::Snapshot(outputFolder));
    return 0;
}
