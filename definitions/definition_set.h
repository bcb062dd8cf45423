#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "definitions/definition_table.h"
#include "definitions/table_summary.h"

// What a settings folder yields, keyed by table name (compared byte for byte).
namespace dovra {

using SummaryMap = std::unordered_map<std::string, TableSummary>;
using TableMap = std::unordered_map<std::string, DefinitionTable>;
using RecordNameMap = std::unordered_map<std::string, RecordNameList>;
// Each old definition file as it was loaded, which the create command writes from.
using DefinitionTextMap = std::unordered_map<std::string, LoadedDefinition>;

TableSummary SummaryOf(const DefinitionTable& table);

// The commands visit tables in ascending byte order of their names, so every run's log reads the same.
std::vector<std::string> SortedTableNames(const SummaryMap& summaries);

} // namespace dovra
