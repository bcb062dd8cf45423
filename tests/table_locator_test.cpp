#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bench/generator.h"
#include "locate/table_locator.h"

namespace dovra {
namespace {

using bench::DataStyle;
using bench::GeneratedCase;
using bench::GeneratorOptions;
using bench::TableFate;

// What the create command does with every question answered yes: several matches use the aligned one when
// there is one, else the lowest (and say it is undecided); no match uses the similar place.
struct Outcome {
    std::size_t existing = 0; // kept or changed tables
    std::size_t right = 0;    // placed where the table is
    std::size_t wrong = 0;    // placed where it is not, without a flag
    std::size_t flagged = 0;  // placed on the lowest match undecided, or flagged as unexpected
    std::size_t flaggedWrong = 0;
    std::size_t similar = 0;
    std::size_t unexpected = 0;
    std::size_t wrongByNeighbourhood = 0; // an aligned or similar place that is not the table's
    std::size_t inconsistent = 0;         // a field set where it does not apply
};

Outcome Judge(const GeneratedCase& generated, const std::vector<TableLocation>& found) {
    Outcome outcome;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const bench::GeneratedTable& table = generated.tables[i];
        const TableLocation& location = found[i];
        std::optional<std::uint32_t> chosen;
        bool flagged = false;
        if (location.matchCount > 1) {
            chosen = location.alignedMatch ? location.alignedMatch : location.lowestMatch;
            flagged = !location.alignedMatch;
        } else if (location.matchCount == 1) {
            chosen = location.lowestMatch;
            flagged = location.unexpectedPlace;
            outcome.unexpected += flagged ? 1 : 0;
        } else if (location.similar) {
            chosen = location.similar->offset;
            ++outcome.similar;
        }
        const bool fieldsConsistent = location.lowestMatch.has_value() == (location.matchCount > 0) &&
                                      (!location.alignedMatch || location.matchCount > 1) &&
                                      (!location.unexpectedPlace || (location.matchCount == 1 && location.predicted)) &&
                                      (!location.similar || location.matchCount == 0);
        outcome.inconsistent += fieldsConsistent ? 0 : 1;
        // A removed table whose replacement happens to hold the same bytes is still there.
        const bool exists = table.fate != TableFate::Removed ||
                            (std::uint64_t{table.newAddress} + table.Size() <= generated.newImage.size() &&
                             std::memcmp(generated.newImage.data() + table.newAddress,
                                         generated.oldImage.data() + table.oldAddress, table.Size()) == 0);
        outcome.existing += exists ? 1 : 0;
        if (!chosen) {
            if (exists && std::getenv("DOVRA_LOCATOR_DETAIL") != nullptr) {
                std::printf("  unplaced table %zu fate %d size %u true %X old %X predicted %X\n", i,
                            static_cast<int>(table.fate), table.Size(), table.newAddress, table.oldAddress,
                            location.predicted.value_or(0));
            }
            continue;
        }
        const bool right = exists && *chosen == table.newAddress;
        outcome.right += right ? 1 : 0;
        outcome.flagged += flagged ? 1 : 0;
        if (!right) {
            (flagged ? outcome.flaggedWrong : outcome.wrong) += 1;
            outcome.wrongByNeighbourhood += location.alignedMatch || location.similar ? 1 : 0;
            if (std::getenv("DOVRA_LOCATOR_DETAIL") != nullptr) {
                std::printf(
                    "  %s table %zu fate %d size %u count %u chosen %X true %X old %X predicted %X similar %d\n",
                    flagged ? "flagged" : "WRONG", i, static_cast<int>(table.fate), table.Size(), location.matchCount,
                    *chosen, table.newAddress, table.oldAddress, location.predicted.value_or(0),
                    location.similar ? 1 : 0);
            }
        }
    }
    return outcome;
}

std::vector<TableLocation> Find(const GeneratedCase& generated) {
    std::vector<TableRegion> regions;
    for (const bench::GeneratedTable& table : generated.tables) {
        regions.push_back({table.oldAddress, table.Size()});
    }
    return FindTables(generated.oldImage, generated.newImage, regions);
}

std::string Describe(const Outcome& o) {
    return "existing " + std::to_string(o.existing) + " right " + std::to_string(o.right) + " wrong " +
           std::to_string(o.wrong) + " flagged " + std::to_string(o.flagged) + " (wrong " +
           std::to_string(o.flaggedWrong) + ") similar " + std::to_string(o.similar) + " unexpected " +
           std::to_string(o.unexpected);
}

// Against the generator's truth, with the answers the create command gives when every question is
// answered yes. Set DOVRA_LOCATOR_DETAIL to see every table placed elsewhere.
TEST(TableLocatorTest, PlacesGeneratedTablesAtTheirTruePlace) {
    for (DataStyle style : {DataStyle::Realistic, DataStyle::ZeroHeavy}) {
        for (std::uint64_t seed : {1u, 2u, 3u}) {
            GeneratorOptions options;
            options.style = style;
            options.seed = seed;
            options.imageSize = 4u << 20;
            options.tableCount = 300;
            options.maxRecordCount = 200;
            options.changedPercent = 10;
            options.removedPercent = 5;
            const GeneratedCase generated = bench::Generate(options);
            const Outcome outcome = Judge(generated, Find(generated));
            SCOPED_TRACE(Describe(outcome));
            std::printf("%s\n", Describe(outcome).c_str());
            EXPECT_EQ(outcome.inconsistent, 0u);
            EXPECT_EQ(outcome.wrongByNeighbourhood, 0u);
            if (style == DataStyle::Realistic) {
                EXPECT_EQ(outcome.wrong, 0u);
                EXPECT_GE(outcome.right * 100, outcome.existing * 98);
            } else {
                // Tables of zeros between edited zero stretches have no place of their own and stay
                // undecided; a mostly-zero table found once far away without a neighbourhood to say so is
                // the one kind of unflagged wrong place left.
                EXPECT_LE(outcome.wrong * 100, outcome.existing * 3);
                EXPECT_GE(outcome.right * 100, outcome.existing * 65);
            }
        }
    }
}

} // namespace
} // namespace dovra
