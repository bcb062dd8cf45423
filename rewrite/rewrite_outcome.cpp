#include "rewrite/rewrite_outcome.h"

#include "engine/texts.h"

namespace dovra {

const char* OutcomeLabel(TableOutcome outcome) {
    switch (outcome) {
    case TableOutcome::kMatch:
        return text::kOutcomeMatch;
    case TableOutcome::kRewritten:
        return text::kOutcomeRewritten;
    case TableOutcome::kUnchanged:
        return text::kOutcomeUnchanged;
    case TableOutcome::kSkipped:
        return text::kOutcomeSkipped;
    case TableOutcome::kError:
        return text::kOutcomeError;
    }
    return text::kOutcomeError;
}

const char* OutcomeKey(TableOutcome outcome) {
    switch (outcome) {
    case TableOutcome::kMatch:
        return "match";
    case TableOutcome::kRewritten:
        return "rewritten";
    case TableOutcome::kUnchanged:
        return "unchanged";
    case TableOutcome::kSkipped:
        return "skipped";
    case TableOutcome::kError:
        return "error";
    }
    return "error";
}

} // namespace dovra
