// One table: a definition file "t.ini" and its name list (and whatever else the input writes beside
// them, such as "T.IDN" for the letter-case fallback), loaded as a settings folder load does. Beyond the
// sanitizers' checks, a loaded table must hold what the rewrite relies on without checking again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/definition_table.h"
#include "engine/text_lines.h"
#include "fuzz/fuzz_folder.h"

namespace {

using dovra::fuzz::Fail;

// Only a line with a comma holds a column: a file without one (UTF-16, line ends, a stray word) describes
// no table and must not load as one at address 0.
bool AnyPieceHoldsAComma(const std::string& path) {
    const auto text = dovra::ReadTextModeFile(path);
    bool found = false;
    if (text) {
        dovra::ForEachLinePiece(*text, [&](std::string_view piece) {
            found = found || piece.substr(0, piece.find('\0')).find(',') != std::string_view::npos;
        });
    }
    return found;
}

void CheckLoaded(const dovra::DefinitionTable& table, const std::string& path) {
    if (!AnyPieceHoldsAComma(path)) {
        Fail("a definition file without a column loaded as a table");
    }
    if (table.name != "t") {
        Fail("the table name is not the file's stem", table.name);
    }
    if (table.recordSize == 0) {
        Fail("a loaded table needs a record size of at least 1");
    }
    // Memory follows what the file holds: names only for offsets inside the record that a line names, no
    // more kept lines than the record has bytes.
    if (!table.fieldNames.empty() && (table.fieldNames.rbegin()->first >= table.recordSize ||
                                      table.fieldNames.size() > table.entries.size() + table.recordSize)) {
        Fail("a field name lies outside the record");
    }
    for (const auto& [offset, fieldName] : table.fieldNames) {
        if (fieldName.empty()) {
            Fail("an empty field name is stored");
        }
    }
    if (table.entries.empty() || table.entries.size() > table.recordSize ||
        table.baseAddress != table.entries.front().address || table.recordSize != table.entries.front().size) {
        Fail("base address and record size must come from the first line, one kept line per record byte");
    }
    if (std::uint64_t{table.tableSize} != std::uint64_t{table.recordSize} * table.recordNames.size()) {
        Fail("the table size is not records times record size");
    }
    for (const auto& name : table.recordNames) {
        std::size_t lineFeed = name.find('\n');
        if (name.size() > dovra::kLinePieceMax || (lineFeed != std::string::npos && lineFeed + 1 != name.size()) ||
            name.find('\0') != std::string::npos) {
            Fail("a record name is not one line piece", name);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& scratch = dovra::fuzz::ScratchFolderFor(data, size);

    dovra::DefinitionTable table;
    switch (table.Load(scratch.Engine("t.ini"))) {
    case dovra::TableLoadStatus::Loaded:
        CheckLoaded(table, scratch.Engine("t.ini"));
        break;
    case dovra::TableLoadStatus::NameListUnreadable:
        if (table.tableSize != 0 || !table.recordNames.empty()) {
            Fail("a table without its name list claims records");
        }
        break;
    case dovra::TableLoadStatus::DefinitionUnreadable:
        if (!table.entries.empty()) {
            Fail("an unreadable definition file gave entries");
        }
        break;
    case dovra::TableLoadStatus::Malformed:
        break;
    }
    return 0;
}
