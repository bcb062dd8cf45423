#include "cli/run_report.h"

#include <map>

#include "engine/definition_updater.h"
#include "engine/encoding.h"
#include "engine/file_system.h"

namespace dovra::cli {
namespace {

using nlohmann::json;

// The terminal's log shows code page 932 text converted the same way; bytes without a UTF-8 form stay
// readable instead of breaking the JSON.
std::string Utf8(std::string_view cp932) {
    return Cp932ToUtf8Lossy(cp932);
}

template <typename T> json OrNull(const std::optional<T>& value) {
    return value ? json(*value) : json(nullptr);
}

void AddCreateTables(const CDefinitionUpdater& engine, json& report) {
    json tables = json::array();
    for (const CreateTableRecord& table : engine.LastCreateOutcomes()) {
        json notes = json::array();
        for (const std::string& note : table.notes) {
            notes.push_back(Utf8(note));
        }
        tables.push_back({{"name", Utf8(table.name)},
                          {"old_address", table.oldAddress},
                          {"size", table.size},
                          {"outcome", OutcomeKey(table.outcome)},
                          {"new_address", OrNull(table.newAddress)},
                          {"match_count", table.matchCount},
                          {"similarity", OrNull(table.similarity)},
                          {"notes", std::move(notes)}});
    }
    const CreateSummary summary = Summarize(engine.LastCreateOutcomes());
    report["tables"] = std::move(tables);
    report["summary"] = {{"moved", summary.moved},     {"same_address", summary.sameAddress},
                         {"similar", summary.similar}, {"not_found", summary.notFound},
                         {"errors", summary.errors},   {"needs_check", summary.needsCheck}};
}

void AddRewriteTables(const CDefinitionUpdater& engine, json& report) {
    json tables = json::array();
    std::map<TableOutcome, std::size_t> counts;
    std::uint64_t fields = 0;
    std::uint64_t conflicts = 0;
    for (const RewriteOutcome& table : engine.LastRewrite()) {
        tables.push_back({{"name", Utf8(table.name)},
                          {"old_address", table.oldAddress},
                          {"new_address", table.newAddress},
                          {"old_size", table.oldSize},
                          {"new_size", table.newSize},
                          {"outcome", OutcomeKey(table.outcome)},
                          {"fields_written", table.fieldsWritten},
                          {"conflicts", table.conflicts}});
        ++counts[table.outcome];
        fields += table.fieldsWritten;
        conflicts += table.conflicts;
    }
    report["tables"] = std::move(tables);
    // Every outcome is counted, 0 included, so a script need not test for missing keys.
    json summary;
    for (TableOutcome outcome : {TableOutcome::kMatch, TableOutcome::kRewritten, TableOutcome::kUnchanged,
                                 TableOutcome::kSkipped, TableOutcome::kError}) {
        summary[OutcomeKey(outcome)] = counts[outcome];
    }
    summary["fields_written"] = fields;
    summary["conflicts"] = conflicts;
    report["summary"] = std::move(summary);
}

} // namespace

json BuildReport(const RunRecord& run, const CDefinitionUpdater& engine) {
    const bool rewrite = run.command == Command::kRewrite;
    json paths = {{"old_settings_folder", run.paths.oldFolder},
                  {"old_binary", run.paths.oldBinary},
                  {"new_binary", run.paths.newBinary}};
    if (rewrite) {
        paths["new_settings_folder"] = run.paths.newFolder;
        paths["base_binary"] = run.paths.baseBinary.empty() ? json(nullptr) : json(run.paths.baseBinary);
    }
    json answers = json::array();
    for (const PromptAnswer& prompt : run.prompts) {
        answers.push_back({{"question", Utf8(prompt.question)}, {"answer", prompt.answer}});
    }
    json report = {{"command", rewrite ? "rewrite" : "create"},
                   {"version", DOVRA_VERSION},
                   {"paths", std::move(paths)},
                   {"exit_status", static_cast<int>(run.status)},
                   {"answers", std::move(answers)}};
    if (rewrite) {
        AddRewriteTables(engine, report);
    } else {
        AddCreateTables(engine, report);
    }
    return report;
}

bool WriteReport(std::string_view path, const json& report) {
    // Paths given on the command line may hold bytes that are no UTF-8; they are replaced, not refused.
    const std::string text = report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    return WriteFileAtomically(path, text.data(), text.size());
}

} // namespace dovra::cli
