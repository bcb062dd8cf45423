#include "migration/create_outcome.h"

#include "engine/texts.h"

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

const char* OutcomeLabel(CreateOutcome outcome) {
    switch (outcome) {
    case CreateOutcome::Moved:
        return text::kOutcomeMoved;
    case CreateOutcome::SameAddress:
        return text::kOutcomeSameAddress;
    case CreateOutcome::Similar:
        return text::kOutcomeSimilar;
    case CreateOutcome::NotFound:
        return text::kOutcomeNotFound;
    case CreateOutcome::Error:
        return text::kOutcomeError;
    }
    return text::kOutcomeError;
}

const char* OutcomeKey(CreateOutcome outcome) {
    switch (outcome) {
    case CreateOutcome::Moved:
        return "moved";
    case CreateOutcome::SameAddress:
        return "same_address";
    case CreateOutcome::Similar:
        return "similar";
    case CreateOutcome::NotFound:
        return "not_found";
    case CreateOutcome::Error:
        return "error";
    }
    return "error";
}

} // namespace dovra
