#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dovra {

// What the rewrite did with one table, decided at the same place as the table's log lines.
enum class TableOutcome {
    kMatch,     // 一致: the new binary already holds the data
    kRewritten, // 書き換え: fields (or, for differing sizes, a block) were written
    kUnchanged, // 変更なし: the user did not edit the table (three-way rewrite only)
    kSkipped,   // スキップ: the user answered no, or nothing the user changed could be carried
    kError,     // エラー: a region outside its binary, or no table of that name in the new settings folder
};

struct RewriteOutcome {
    std::string name; // code page 932
    std::uint32_t oldAddress = 0;
    std::uint32_t newAddress = 0;
    std::uint32_t oldSize = 0;
    std::uint32_t newSize = 0;
    TableOutcome outcome = TableOutcome::kMatch;
    std::uint32_t fieldsWritten = 0; // 0 for a block copy
    std::uint32_t conflicts = 0;     // fields the user and the update both changed, differently
};

// One record per table of the old settings folder, in the order the rewrite visited them.
using RewriteOutcomes = std::vector<RewriteOutcome>;

// The outcome's word (code page 932), the same for the results table and every other front end.
const char* OutcomeLabel(TableOutcome outcome);
// The outcome's name in machine-readable output; it never changes between versions.
const char* OutcomeKey(TableOutcome outcome);

} // namespace dovra
