#include "definitions/definition_set.h"

#include <algorithm>

namespace dovra {

TableSummary SummaryOf(const DefinitionTable& table) {
    return TableSummary{table.name, table.baseAddress, table.tableSize, table.recordSize};
}

std::vector<std::string> SortedTableNames(const SummaryMap& summaries) {
    std::vector<std::string> names;
    names.reserve(summaries.size());
    for (const auto& [name, summary] : summaries) {
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace dovra
