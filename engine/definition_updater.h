#pragma once

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/definition_set.h"
#include "engine/binary_image.h"
#include "engine/channels.h"
#include "locate/table_locator.h"
#include "migration/create_outcome.h"
#include "migration/table_placement.h"
#include "rewrite/rewrite_outcome.h"

// The engine: the definitions of the old and the new settings folder, both binary files held whole, the
// paths as last given and the two channels to the user. A front end sets m_log and m_confirm once, then
// for each command calls the loads in a fixed order and the command:
//   rewrite: LoadOldSettings, LoadNewSettings, LoadOldBinary, LoadNewBinary, then LoadBaseBinary when the
//            user gave the unmodified old binary or ClearBaseBinary when not (each binary load that fails
//            ends the click with its message), Rewrite;
//   create:  LoadOldSettings, LoadOldBinary, LoadNewBinary, CreateDefinitions.
// All text, paths included, is code page 932.
namespace dovra {
class OutputFolder;
}

class CDefinitionUpdater {
public:
    CDefinitionUpdater() = default;
    CDefinitionUpdater(const CDefinitionUpdater&) = delete;
    CDefinitionUpdater& operator=(const CDefinitionUpdater&) = delete;

    // False, with a message box naming it, when the folder does not exist or is not a folder: a typo must
    // stop the click rather than run the command on an empty set. Any other problem of a settings folder
    // is shown as a message box and never stops a command.
    bool LoadOldSettings(std::string_view folder);
    bool LoadNewSettings(std::string_view folder);

    // True when the file was read whole; the image is empty after a failure.
    bool LoadOldBinary(std::string_view path);
    bool LoadNewBinary(std::string_view path);
    // The unmodified old binary, for a rewrite that carries only the user's own changes. Loaded after the
    // old settings folder and the old binary, since it is checked against them: a file that plainly is
    // not the old binary's unmodified form is refused with a message box, and the image is empty after
    // any failure. ClearBaseBinary gives the plain rewrite.
    bool LoadBaseBinary(std::string_view path);
    void ClearBaseBinary();

    // False only when the output file could not be written (the failure is logged). With a base binary
    // loaded, a field is carried only where the user changed it; without, every differing field is.
    bool Rewrite();
    // False when an image is empty, the output folder cannot be had, or any of its files could not be
    // written (each failure is logged, and their number before the closing notice).
    bool CreateDefinitions();

    void Log(std::string_view line) const;
    bool Confirm(std::string_view question) const;

    // Read access for front ends and tests.
    const dovra::SummaryMap& OldSummaries() const { return m_oldSummaries; }
    const dovra::SummaryMap& NewSummaries() const { return m_newSummaries; }
    const dovra::TableMap& NewTables() const { return m_newTables; }
    const dovra::RecordNameMap& NewRecordNames() const { return m_newRecordNames; }
    const dovra::BinaryImage& OldImage() const { return m_oldImage; }
    const dovra::BinaryImage& NewImage() const { return m_newImage; }
    const std::string& OldFolder() const { return m_oldFolder; }
    const std::string& NewFolder() const { return m_newFolder; }
    const std::string& OldBinaryPath() const { return m_oldBinaryPath; }
    const std::string& NewBinaryPath() const { return m_newBinaryPath; }
    // What the last create command did with each table, in the order of the log; empty until it wrote tables.
    const std::vector<dovra::CreateTableRecord>& LastCreateOutcomes() const { return m_lastCreate; }
    const dovra::BinaryImage& BaseImage() const { return m_baseImage; }
    const std::string& BaseBinaryPath() const { return m_baseBinaryPath; }
    // What the last Rewrite did with each table, in the order of its log.
    const dovra::RewriteOutcomes& LastRewrite() const { return m_lastRewrite; }

private:
    dovra::SummaryMap m_oldSummaries;
    // The old definition files as loaded: the create command writes from these, since the files may be
    // edited while its question is open, after the search has used the addresses read here.
    dovra::DefinitionTextMap m_oldDefinitionTexts;
    dovra::SummaryMap m_newSummaries;
    dovra::TableMap m_newTables;
    dovra::RecordNameMap m_newRecordNames;

public:
    dovra::LogSink m_log;
    dovra::ConfirmPrompt m_confirm;

private:
    dovra::BinaryImage m_oldImage;
    dovra::BinaryImage m_newImage;
    std::string m_oldFolder;
    std::string m_newFolder;
    std::string m_oldBinaryPath;
    std::string m_newBinaryPath;
    std::vector<dovra::CreateTableRecord> m_lastCreate;
    dovra::BinaryImage m_baseImage; // empty: the plain rewrite
    std::string m_baseBinaryPath;
    dovra::RewriteOutcomes m_lastRewrite;

    // Create command stages. The search (LocateTables) only reads the images and the old summaries, so it
    // can run on another thread while the name lists are copied.
    // Each stage that writes gives the number of files it could not write.
    int CopyNameLists(const std::string& sourceFolder, const dovra::OutputFolder& destination);
    using TableLocations = std::vector<dovra::TableLocation>; // by table, in the order of `names`
    TableLocations LocateTables(const std::vector<std::string>& names) const;
    std::future<TableLocations> StartLocating(const std::vector<std::string>& names) const;
    dovra::PlacementAnswers AskPlacementQuestions(const TableLocations& found) const;
    // Ends with the output folder put in place (or the reason it could not be) and the closing notice;
    // false when anything failed to be written.
    bool RelocateTables(dovra::OutputFolder& output, const std::vector<std::string>& names, const TableLocations& found,
                        const dovra::PlacementAnswers& answers, int earlierFailures);
    bool CommitOutput(dovra::OutputFolder& output) const;
};
