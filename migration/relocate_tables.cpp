#include <fmt/format.h>

#include "definitions/definition_set.h"
#include "engine/definition_updater.h"
#include "engine/failure_reason.h"
#include "engine/file_system.h"
#include "engine/folder_index.h"
#include "engine/path_text.h"
#include "engine/text_lines.h"
#include "engine/texts.h"
#include "locate/table_locator.h"
#include "migration/address_shift.h"
#include "migration/atomic_copy.h"
#include "migration/create_outcome.h"
#include "migration/output_folder.h"
#include "migration/table_placement.h"

namespace {

namespace text = dovra::text;
using fmt::runtime;

struct TablePaths {
    std::string source;      // old folder + table name + ".ini"
    std::string staged;      // where it is written: the output folder being built
    std::string destination; // where it will be, the path the user is told: output folder + table name + ".ini"
    std::string_view loaded; // the source's text-mode content as it was loaded and searched for
    const std::optional<dovra::FileStamp>* stamp; // the source's stamp at load, where it can tell a write
};

// Whether the source holds what was loaded: told by its stamp while that still matches (a status query
// instead of reading the file again), else by its content.
bool SameAsLoaded(const TablePaths& paths) {
    if (*paths.stamp && dovra::StampAt(paths.source) == *paths.stamp) {
        return true;
    }
    const std::optional<std::string> now = dovra::ReadTextModeFile(paths.source);
    return now && *now == paths.loaded;
}

// The search used the addresses read at load time; a definition file edited since (while the question was
// open) describes other bytes, and must not be written as if it had been searched.
bool ChangedSinceLoad(const CDefinitionUpdater& engine, const TablePaths& paths) {
    if (SameAsLoaded(paths)) {
        return false;
    }
    engine.Log(fmt::format(runtime(text::kDefinitionChangedSinceLoad), paths.source));
    return true;
}

std::span<const std::uint8_t> Bytes(const dovra::BinaryImage& image, std::uint32_t offset, std::uint32_t size) {
    return {image.data.get() + offset, size};
}

bool LiesInside(const dovra::BinaryImage& image, const dovra::TableSummary& table) {
    return static_cast<std::uint64_t>(table.baseAddress) + table.tableSize <= image.size;
}

// Found where it was: the definition file is still right and is copied byte for byte. False when it could
// not be (logged).
bool CopyUnmoved(const CDefinitionUpdater& engine, const TablePaths& paths) {
    engine.Log(text::kSameAddress);
    if (ChangedSinceLoad(engine, paths)) {
        return false;
    }
    if (!dovra::CopyFileStaged(paths.source, paths.staged)) {
        engine.Log(dovra::WithFailureReason(fmt::format(runtime(text::kTableCopyFailed), paths.source)));
        return false;
    }
    engine.Log(fmt::format(runtime(text::kCopiedFrom), paths.source));
    engine.Log(fmt::format(runtime(text::kWrittenTo), paths.destination));
    return true;
}

// Found elsewhere: every address moves by the same distance. The file was read in text mode, so the lines
// written end in a bare line feed. A complete file or nothing appears at the destination: a failure
// half-way never leaves a definition file that looks finished. False when it was not written (logged).
// `distance` is the true one, up to ±(2^32 - 1): it is what the log shows, while the addresses move by it
// modulo 2^32 (a 32-bit address space).
bool WriteMoved(const CDefinitionUpdater& engine, const TablePaths& paths, std::int64_t distance) {
    // Written from the content that was loaded and searched for, whatever the file holds now; an edit made
    // since is said, as it does not reach the new folder.
    const std::string_view content = paths.loaded;
    if (!SameAsLoaded(paths)) {
        engine.Log(fmt::format(runtime(text::kDefinitionWrittenAsLoaded), paths.source));
    }
    dovra::StagedFileWriter writer(paths.staged);
    if (!writer.IsOpen()) {
        engine.Log(dovra::WithFailureReason(fmt::format(runtime(text::kDestinationCreateFailed), paths.destination)));
        return false;
    }
    engine.Log(fmt::format(runtime(text::kShiftingAddresses), distance));
    const auto delta = static_cast<std::int32_t>(static_cast<std::uint32_t>(distance));
    dovra::ShiftedDefinition shifted = dovra::ShiftDefinitionAddresses(content, delta);
    if (shifted.failure) {
        engine.Log(fmt::format(runtime(text::kAddressConversionFailed), paths.source, shifted.failure->lineNumber,
                               shifted.failure->addressColumn));
        return false;
    }
    if (!writer.Write(shifted.text) || !writer.Finish()) {
        engine.Log(dovra::WithFailureReason(fmt::format(runtime(text::kDestinationWriteFailed), paths.destination)));
        return false;
    }
    engine.Log(fmt::format(runtime(text::kWrittenTo), paths.destination));
    return true;
}

// Only a table with bytes, all of them inside the old image, can be looked for. No bytes cannot be
// located: "finding" them at offset 0 would shift the definitions to a wrong place.
bool Searchable(const CDefinitionUpdater& engine, const dovra::TableSummary& table) {
    return table.tableSize != 0 && LiesInside(engine.OldImage(), table);
}

// Writes the definition file for a table placed at `address`: copied when it stayed, shifted when it moved.
bool WritePlaced(const CDefinitionUpdater& engine, const dovra::TableSummary& table, const TablePaths& paths,
                 std::uint32_t address) {
    if (address == table.baseAddress) {
        return CopyUnmoved(engine, paths);
    }
    // A table that moved towards the start is logged as -256; one that moved by more than 2 GiB with its
    // own distance, never one wrapped into 32 bits.
    return WriteMoved(engine, paths, static_cast<std::int64_t>(address) - table.baseAddress);
}

dovra::CreateOutcome OutcomeOfPlaced(const dovra::TableSummary& table, const dovra::TablePlacement& placement) {
    if (!placement.found) {
        return dovra::CreateOutcome::Similar;
    }
    return *placement.address == table.baseAddress ? dovra::CreateOutcome::SameAddress : dovra::CreateOutcome::Moved;
}

// Logs the table's block and writes its definition file; the record says what became of it.
dovra::CreateTableRecord RelocateTable(const CDefinitionUpdater& engine, const std::string& name,
                                       const dovra::TableSummary& table, const TablePaths& paths,
                                       const dovra::TableLocation& location, const dovra::PlacementAnswers& answers,
                                       int& writeFailures) {
    dovra::CreateTableRecord outcome;
    outcome.name = name;
    outcome.oldAddress = table.baseAddress;
    outcome.size = table.tableSize;
    engine.Log(name);
    engine.Log(fmt::format(runtime(text::kCreateAddressLine), table.baseAddress));
    engine.Log(fmt::format(runtime(text::kCreateSizeLine), table.tableSize));
    if (table.tableSize == 0) {
        engine.Log(text::kZeroSizeTable);
        outcome.outcome = dovra::CreateOutcome::Error;
        return outcome;
    }
    if (!LiesInside(engine.OldImage(), table)) {
        engine.Log(text::kAddressBeyondFile);
        outcome.outcome = dovra::CreateOutcome::Error;
        return outcome;
    }
    dovra::TablePlacement placement = dovra::PlaceTable(location, answers);
    outcome.matchCount = location.matchCount;
    if (placement.found) {
        engine.Log(fmt::format(runtime(text::kDataFound), *placement.found));
    } else {
        engine.Log(text::kNotFound);
    }
    if (placement.similar) {
        outcome.similarity = placement.similar->percent;
        engine.Log(fmt::format(runtime(text::kSimilarData), placement.similar->offset, placement.similar->percent));
    }
    for (const std::string& note : placement.notes) {
        engine.Log(note);
    }
    outcome.notes = std::move(placement.notes);
    if (!placement.address) {
        outcome.outcome = dovra::CreateOutcome::NotFound;
        return outcome;
    }
    outcome.newAddress = placement.address;
    // A definition file meant to be written and not written is a failure of the command.
    const bool written = WritePlaced(engine, table, paths, *placement.address);
    if (!written) {
        ++writeFailures;
    }
    outcome.outcome = written ? OutcomeOfPlaced(table, placement) : dovra::CreateOutcome::Error;
    return outcome;
}

void LogSummary(const CDefinitionUpdater& engine, const std::vector<dovra::CreateTableRecord>& outcomes) {
    const dovra::CreateSummary summary = dovra::Summarize(outcomes);
    engine.Log(text::kSummaryHeading);
    engine.Log(fmt::format(runtime(text::kSummaryCounts), summary.moved, summary.sameAddress, summary.similar,
                           summary.notFound, summary.errors));
    engine.Log(fmt::format(runtime(text::kSummaryNeedsCheck), summary.needsCheck));
}

} // namespace

// Where each table's bytes lie in the new image, by table (no match for a table that cannot be searched).
// All tables are searched in one pass over the new image, which a search per table would read once for each.
CDefinitionUpdater::TableLocations CDefinitionUpdater::LocateTables(const std::vector<std::string>& names) const {
    std::vector<dovra::TableRegion> regions;
    std::vector<std::size_t> searched;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const dovra::TableSummary& table = m_oldSummaries.at(names[k]);
        if (Searchable(*this, table)) {
            regions.push_back({table.baseAddress, table.tableSize});
            searched.push_back(k);
        }
    }
    const auto locations =
        dovra::FindTables(Bytes(m_oldImage, 0, m_oldImage.size), Bytes(m_newImage, 0, m_newImage.size), regions);
    TableLocations found(names.size());
    for (std::size_t i = 0; i < searched.size(); ++i) {
        found[searched[i]] = locations[i];
    }
    return found;
}

bool CDefinitionUpdater::RelocateTables(dovra::OutputFolder& output, const std::vector<std::string>& names,
                                        const TableLocations& found, const dovra::PlacementAnswers& answers,
                                        int earlierFailures) {
    // The folder is read once: finding "T.INI" for table T by a scan of the folder per table made a folder
    // of upper-case names quadratic.
    const dovra::FolderIndex oldFiles(m_oldFolder);
    m_lastCreate.reserve(names.size());
    int failures = earlierFailures;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string fileName = names[k] + ".ini";
        static const dovra::LoadedDefinition kNotLoaded;
        const auto kept = m_oldDefinitionTexts.find(names[k]);
        const dovra::LoadedDefinition& loaded = kept != m_oldDefinitionTexts.end() ? kept->second : kNotLoaded;
        const TablePaths paths{oldFiles.Resolve(fileName).value_or(dovra::JoinPath(m_oldFolder, fileName)),
                               output.StagedPath(fileName), output.FinalPathOf(fileName), loaded.text, &loaded.stamp};
        m_lastCreate.push_back(
            RelocateTable(*this, names[k], m_oldSummaries.at(names[k]), paths, found[k], answers, failures));
        Log("");
    }
    LogSummary(*this, m_lastCreate);
    const bool placed = CommitOutput(output);
    if (failures > 0) {
        Log(fmt::format(runtime(text::kWriteFailureCount), failures));
    }
    // A notice through the prompt; its answer changes nothing.
    Confirm(text::kFinished);
    return placed && failures == 0;
}
