#include "migration/create_outcome.h"

namespace dovra {

CreateSummary Summarize(std::span<const CreateTableRecord> outcomes) {
    CreateSummary summary;
    for (const CreateTableRecord& table : outcomes) {
        switch (table.outcome) {
        case CreateOutcome::Moved:
            ++summary.moved;
            break;
        case CreateOutcome::SameAddress:
            ++summary.sameAddress;
            break;
        case CreateOutcome::Similar:
            ++summary.similar;
            break;
        case CreateOutcome::NotFound:
            ++summary.notFound;
            break;
        case CreateOutcome::Error:
            ++summary.errors;
            break;
        }
        if (!table.notes.empty()) {
            ++summary.needsCheck;
        }
    }
    return summary;
}

} // namespace dovra
