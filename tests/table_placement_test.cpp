#include <gtest/gtest.h>

#include "migration/create_outcome.h"
#include "migration/table_placement.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using test::Sj;

const PlacementAnswers kYes{true, true};
const PlacementAnswers kNo{false, false};

TableLocation OneMatch(std::uint32_t offset) {
    TableLocation location;
    location.matchCount = 1;
    location.lowestMatch = offset;
    return location;
}

TableLocation Several(std::uint32_t count, std::uint32_t lowest, std::optional<std::uint32_t> aligned,
                      std::optional<std::uint32_t> predicted) {
    TableLocation location;
    location.matchCount = count;
    location.lowestMatch = lowest;
    location.alignedMatch = aligned;
    location.predicted = predicted;
    return location;
}

TableLocation Changed(std::optional<SimilarMatch> similar) {
    TableLocation location;
    location.predicted = 0x5000;
    location.similar = similar;
    return location;
}

TEST(TablePlacement, OneMatchThatAgreesOrHasNoPredictionIsPlacedWithoutNotesOrQuestions) {
    for (TableLocation location : {OneMatch(0x1100), Several(1, 0x1100, std::nullopt, 0x1100)}) {
        const TablePlacement placement = PlaceTable(location, kYes);
        EXPECT_EQ(placement.found, std::optional<std::uint32_t>(0x1100));
        EXPECT_EQ(placement.address, std::optional<std::uint32_t>(0x1100));
        EXPECT_FALSE(placement.similar);
        EXPECT_TRUE(placement.notes.empty());
        EXPECT_FALSE(NeedsAlignedMatchAnswer(location));
        EXPECT_FALSE(NeedsSimilarAnswer(location));
    }
}

TEST(TablePlacement, OneMatchInAnUnexpectedPlaceIsKeptAndSaysWhereTheNeighbourhoodPutsIt) {
    TableLocation location = OneMatch(0x1100);
    location.predicted = 0x8000;
    location.unexpectedPlace = true;
    for (const PlacementAnswers& answers : {kYes, kNo}) {
        const TablePlacement placement = PlaceTable(location, answers);
        EXPECT_EQ(placement.address, std::optional<std::uint32_t>(0x1100));
        EXPECT_EQ(placement.notes,
                  std::vector<std::string>{
                      Sj(u8"　※前後のデータから予想される位置（00008000）と違います。確認してください。")});
    }
    EXPECT_FALSE(NeedsAlignedMatchAnswer(location));
}

TEST(TablePlacement, SeveralMatchesUseTheAlignedOneOnlyWhenTheUserAgrees) {
    const TableLocation location = Several(3, 0x100, 0x9000, 0x9010);
    EXPECT_TRUE(NeedsAlignedMatchAnswer(location));

    const TablePlacement yes = PlaceTable(location, {true, false});
    EXPECT_EQ(yes.found, std::optional<std::uint32_t>(0x9000));
    EXPECT_EQ(yes.address, std::optional<std::uint32_t>(0x9000));
    EXPECT_EQ(yes.notes, std::vector<std::string>{Sj(u8"　※同じデータが3か所にあります。")});

    // Declined: the lowest match, and the block says the neighbourhood disagrees.
    const TablePlacement no = PlaceTable(location, {false, true});
    EXPECT_EQ(no.found, std::optional<std::uint32_t>(0x100));
    EXPECT_EQ(no.address, std::optional<std::uint32_t>(0x100));
    EXPECT_EQ(no.notes, (std::vector<std::string>{
                            Sj(u8"　※同じデータが3か所にあります。"),
                            Sj(u8"　※前後のデータから予想される位置（00009010）と違います。確認してください。")}));
}

TEST(TablePlacement, SeveralMatchesWhereTheLowestAgreesAskNothingButStillCountThePlaces) {
    const TableLocation location = Several(2, 0x100, 0x100, 0x100);
    EXPECT_FALSE(NeedsAlignedMatchAnswer(location));
    const TablePlacement placement = PlaceTable(location, kNo);
    EXPECT_EQ(placement.address, std::optional<std::uint32_t>(0x100));
    EXPECT_EQ(placement.notes, std::vector<std::string>{Sj(u8"　※同じデータが2か所にあります。")});
}

TEST(TablePlacement, SeveralMatchesWithoutAnAlignedOneUseTheLowestAndSaySo) {
    const TableLocation location = Several(kMatchCountCap, 0x40, std::nullopt, std::nullopt);
    EXPECT_FALSE(NeedsAlignedMatchAnswer(location));
    for (const PlacementAnswers& answers : {kYes, kNo}) {
        const TablePlacement placement = PlaceTable(location, answers);
        EXPECT_EQ(placement.address, std::optional<std::uint32_t>(0x40));
        EXPECT_EQ(placement.notes,
                  (std::vector<std::string>{
                      Sj(u8"　※同じデータが100か所以上にあります。"),
                      Sj(u8"　※前後のデータから位置を判断できないため、最初の位置を使いました。確認してください。")}));
    }
}

TEST(TablePlacement, MatchCountJustBelowTheCapIsExact) {
    const TablePlacement placement = PlaceTable(Several(kMatchCountCap - 1, 0x40, 0x40, 0x40), kNo);
    EXPECT_EQ(placement.notes, std::vector<std::string>{Sj(u8"　※同じデータが99か所にあります。")});
}

TEST(TablePlacement, SimilarPlaceIsUsedOnlyWhenTheUserAgreesAndIsAlwaysReported) {
    const TableLocation location = Changed(SimilarMatch{0x5008, 93});
    EXPECT_TRUE(NeedsSimilarAnswer(location));
    EXPECT_FALSE(NeedsAlignedMatchAnswer(location));

    const TablePlacement yes = PlaceTable(location, {false, true});
    EXPECT_FALSE(yes.found);
    EXPECT_EQ(yes.address, std::optional<std::uint32_t>(0x5008));
    ASSERT_TRUE(yes.similar);
    EXPECT_EQ(yes.similar->percent, 93u);
    EXPECT_TRUE(yes.notes.empty());

    const TablePlacement no = PlaceTable(location, {true, false});
    EXPECT_FALSE(no.address);
    EXPECT_TRUE(no.similar);
}

TEST(TablePlacement, NoMatchAndNothingSimilarIsNotPlaced) {
    const TableLocation location = Changed(std::nullopt);
    EXPECT_FALSE(NeedsSimilarAnswer(location));
    const TablePlacement placement = PlaceTable(location, kYes);
    EXPECT_FALSE(placement.found);
    EXPECT_FALSE(placement.address);
    EXPECT_FALSE(placement.similar);
    EXPECT_TRUE(placement.notes.empty());
}

TEST(CreateSummary, CountsEveryOutcomeOnceAndTablesWithNotesAsNeedingACheck) {
    std::vector<CreateTableRecord> outcomes(7);
    outcomes[0].outcome = CreateOutcome::Moved;
    outcomes[0].notes = {"a", "b"}; // two notes, one table
    outcomes[1].outcome = CreateOutcome::Moved;
    outcomes[2].outcome = CreateOutcome::SameAddress;
    outcomes[2].notes = {"a"};
    outcomes[3].outcome = CreateOutcome::Similar;
    outcomes[4].outcome = CreateOutcome::NotFound;
    outcomes[5].outcome = CreateOutcome::Error;
    outcomes[6].outcome = CreateOutcome::Error;
    const CreateSummary summary = Summarize(outcomes);
    EXPECT_EQ(summary.moved, 2u);
    EXPECT_EQ(summary.sameAddress, 1u);
    EXPECT_EQ(summary.similar, 1u);
    EXPECT_EQ(summary.notFound, 1u);
    EXPECT_EQ(summary.errors, 2u);
    EXPECT_EQ(summary.needsCheck, 2u);
}

} // namespace
} // namespace dovra
