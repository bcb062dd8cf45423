// The rewrite command over fuzzed settings folders "old/" and "new/" and binaries "old.bin" and
// "new.bin" (and, when the input holds one, the unmodified old binary "base.bin" for the three-way
// rewrite), every question answered yes. After each run: the inputs are unchanged; a reported success
// left a complete "new.bin.new" of the new binary's size, a reported failure left whatever stood there
// before; no temporary file is left behind.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "engine/definition_updater.h"
#include "engine/texts.h"
#include "fuzz/fuzz_folder.h"

namespace {

using dovra::fuzz::Fail;
using dovra::fuzz::TreeSnapshot;

constexpr std::string_view kOutputName = "new.bin.new";

TreeSnapshot WithoutOutput(TreeSnapshot snapshot) {
    std::erase_if(snapshot, [](const auto& entry) { return entry.first.starts_with(kOutputName); });
    return snapshot;
}

void CheckOutput(bool written, const std::vector<std::string>& log, const TreeSnapshot& before,
                 const TreeSnapshot& after, std::uint32_t newBinarySize) {
    auto& scratch = dovra::fuzz::ScratchFolder::Instance();
    const std::string outputPath = scratch.Engine(kOutputName);
    const std::string notice =
        fmt::format(fmt::runtime(written ? dovra::text::kOutputWritten : dovra::text::kOutputFailed), outputPath);
    // A failure may carry the system's reason after the notice, in full-width parentheses.
    const std::string_view last = log.empty() ? std::string_view() : std::string_view(log.back());
    const std::string_view rest = last.starts_with(notice) ? last.substr(notice.size()) : std::string_view("-");
    const bool reasonOnly =
        !written && rest.starts_with(dovra::text::kReasonOpen) && rest.ends_with(dovra::text::kReasonClose) &&
        rest.size() > std::strlen(dovra::text::kReasonOpen) + std::strlen(dovra::text::kReasonClose);
    if (log.empty() || (!rest.empty() && !reasonOnly)) {
        Fail("the rewrite did not end with the notice of its outcome");
    }
    auto output = after.find(std::string(kOutputName));
    if (written) {
        if (output == after.end() || output->second == "<folder>" || output->second.size() != newBinarySize) {
            Fail("the written output is missing or not the new binary's size");
        }
        return;
    }
    auto previous = before.find(std::string(kOutputName));
    bool unchanged =
        previous == before.end() ? output == after.end() : output != after.end() && output->second == previous->second;
    if (!unchanged) {
        Fail("a failed rewrite changed what stood at the output path");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& scratch = dovra::fuzz::ScratchFolderFor(data, size);
    const TreeSnapshot before = dovra::fuzz::Snapshot(scratch.Path());

    CDefinitionUpdater engine;
    std::vector<std::string> log;
    engine.m_log = [&log](const std::string& line) { log.push_back(line); };
    engine.m_confirm = [](const std::string&) { return true; };
    // The rewrite button's order; a settings folder that is not there, or a binary that does not load,
    // ends the click. A missing folder must never be taken for an empty one.
    const bool foldersThere =
        std::filesystem::is_directory(scratch.Path() / "old") && std::filesystem::is_directory(scratch.Path() / "new");
    if ((engine.LoadOldSettings(scratch.Engine("old")) && engine.LoadNewSettings(scratch.Engine("new"))) !=
        foldersThere) {
        Fail("a settings folder's load does not say whether the folder is there");
    }
    if (!foldersThere) {
        return 0;
    }
    if (!engine.LoadOldBinary(scratch.Engine("old.bin")) || !engine.LoadNewBinary(scratch.Engine("new.bin"))) {
        return 0;
    }
    if (std::filesystem::exists(scratch.Path() / "base.bin")) {
        if (!engine.LoadBaseBinary(scratch.Engine("base.bin"))) {
            return 0;
        }
    } else {
        engine.ClearBaseBinary();
    }
    const std::uint32_t newBinarySize = engine.NewImage().size;
    const bool written = engine.Rewrite();

    const TreeSnapshot after = dovra::fuzz::Snapshot(scratch.Path());
    if (WithoutOutput(after) != WithoutOutput(before)) {
        Fail("the rewrite command changed an input");
    }
    CheckOutput(written, log, before, after, newBinarySize);
    dovra::fuzz::CheckNoNewTemporaryFiles(before, after);
    return 0;
}
