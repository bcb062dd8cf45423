// A whole settings folder, loaded as the old and as the new folder. Beyond the sanitizers' checks, the
// sets must hold what the commands rely on: keys equal to the tables' names, and in the new set a table,
// its summary and its record names that agree with each other.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "definitions/definition_set.h"
#include "engine/definition_updater.h"
#include "fuzz/fuzz_folder.h"

namespace {

using dovra::fuzz::Fail;

void CheckOldSet(const CDefinitionUpdater& engine) {
    for (const auto& [name, summary] : engine.OldSummaries()) {
        if (summary.name != name) {
            Fail("an old summary is stored under another name", name);
        }
    }
}

void CheckNewSet(const CDefinitionUpdater& engine) {
    const auto& tables = engine.NewTables();
    const auto& recordNames = engine.NewRecordNames();
    if (tables.size() != engine.NewSummaries().size() || recordNames.size() != tables.size()) {
        Fail("the new set's maps hold different tables");
    }
    for (const auto& [name, summary] : engine.NewSummaries()) {
        auto table = tables.find(name);
        auto names = recordNames.find(name);
        if (table == tables.end() || names == recordNames.end()) {
            Fail("a new summary without its table or record names", name);
        }
        const auto whole = dovra::SummaryOf(table->second);
        if (summary.name != name || whole.name != name || whole.baseAddress != summary.baseAddress ||
            whole.tableSize != summary.tableSize || whole.recordSize != summary.recordSize) {
            Fail("a new summary disagrees with its table", name);
        }
        if (names->second != table->second.recordNames) {
            Fail("a new table's record names were stored differently", name);
        }
        if (summary.recordSize == 0 || table->second.entries.size() > summary.recordSize ||
            std::uint64_t{summary.tableSize} != std::uint64_t{summary.recordSize} * names->second.size()) {
            Fail("a new table's sizes do not add up", name);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& scratch = dovra::fuzz::ScratchFolderFor(data, size);

    CDefinitionUpdater engine;
    engine.LoadOldSettings(scratch.Engine());
    engine.LoadNewSettings(scratch.Engine());
    CheckOldSet(engine);
    CheckNewSet(engine);
    return 0;
}
