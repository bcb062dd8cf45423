#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What the last create command did with each table, for front ends (a results table, a report). The log
// block of a table and its record are made from the same placement, so the two never disagree.
namespace dovra {

enum class CreateOutcome {
    Moved,       // found elsewhere, written with shifted addresses
    SameAddress, // found where it was, copied
    Similar,     // no exact match; written at the place where the bytes mostly agree
    NotFound,    // nothing written: no match, or a similar place the user declined
    Error,       // nothing usable written: zero size, outside the old image, or the file could not be written
};

struct CreateTableRecord {
    std::string name; // code page 932
    std::uint32_t oldAddress = 0;
    std::uint32_t size = 0;
    // The place the table was given in the new image; set for Moved, SameAddress and Similar, and for an
    // Error whose definition file could not be written there.
    std::optional<std::uint32_t> newAddress;
    CreateOutcome outcome = CreateOutcome::NotFound;
    std::uint32_t matchCount = 0; // exact matches, counted up to kMatchCountCap
    // Agreement in percent of a similar place, whether or not it was used.
    std::optional<std::uint32_t> similarity;
    // The ※ lines of the table's log block, exactly as logged (code page 932).
    std::vector<std::string> notes;
};

struct CreateSummary {
    std::size_t moved = 0;
    std::size_t sameAddress = 0;
    std::size_t similar = 0;
    std::size_t notFound = 0;
    std::size_t errors = 0;
    std::size_t needsCheck = 0; // tables with at least one ※ line
};

CreateSummary Summarize(std::span<const CreateTableRecord> outcomes);

// The outcome's word as the log's summary line uses it (code page 932), for every front end that names it.
const char* OutcomeLabel(CreateOutcome outcome);
// The outcome's name in machine-readable output; it never changes between versions.
const char* OutcomeKey(CreateOutcome outcome);

} // namespace dovra
