#pragma once

#include <span>
#include <string>
#include <vector>

#include "definitions/definition_table.h"
#include "definitions/table_summary.h"
#include "engine/definition_updater.h"
#include "rewrite/rewrite_outcome.h"
#include "rewrite/three_way_walk.h"

namespace dovra {

// One table of the three-way rewrite, after its heading and range tests: the whole old region in the base
// and in the user's binary, the whole new region in the new binary. Logs the table's lines (not the empty
// line that closes its block), asks when the user's changes can be carried, writes them, and fills
// `outcome` from the same decisions.
void RewriteTableThreeWay(const CDefinitionUpdater& engine, const TableSummary& oldTable, const TableSummary& newTable,
                          const ThreeWayRegions& regions, const DefinitionTable& layout,
                          const RecordNameList& recordNames, RewriteOutcome& outcome);

} // namespace dovra
