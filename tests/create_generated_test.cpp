#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "bench/generator.h"
#include "bench/update_cases.h"
#include "engine/native_path.h"
#include "engine/path_text.h"
#include "locate/table_search.h"
#include "support/test_support.h"

// The create command on a generated settings folder of many tables: every table's block in the log, and
// every definition file written, must be what the plain search per table gives.
namespace dovra {
namespace {

using test::ReadBytes;
using test::Sj;

class CreateGenerated : public ::testing::TestWithParam<bench::DataStyle> {};

// Offsets where every byte of `needle` matches, overlapping ones included, counted up to the cap.
std::uint32_t CountMatchesNaive(std::span<const std::uint8_t> haystack, std::span<const std::uint8_t> needle) {
    std::uint32_t count = 0;
    std::size_t from = 0;
    while (count < kMatchCountCap && from < haystack.size()) {
        const std::optional<std::uint32_t> next = FindLowestOffsetNaive(haystack.subspan(from), needle);
        if (!next) {
            break;
        }
        ++count;
        from += *next + 1;
    }
    return count;
}

// The log block of one table, from its name line to the empty line that ends it.
std::vector<std::string> BlockOf(const std::vector<std::string>& log, const std::string& name) {
    auto start = std::find(log.begin(), log.end(), name);
    EXPECT_NE(start, log.end()) << "no block for a table";
    auto end = std::find(start, log.end(), std::string());
    return {start, end};
}

// What the create command did on a generated case, read back from its log, its records and the files it
// wrote, set against the truth the generator knows.
struct Tally {
    std::size_t existing = 0;     // tables whose place in the new binary is known
    std::size_t rightPlace = 0;   // of those, given a definition at that place
    std::size_t silentWrong = 0;  // definitions at a place where the table is not, without a ※ line
    std::size_t flaggedWrong = 0; // the same with a ※ line that asks for a check
    // Places the neighbourhood chose: a match other than the lowest, or a similar place. A wrong one is
    // worse than a wrong lowest match: the neighbourhood was trusted over it.
    std::size_t alignedWrong = 0;
    std::size_t similarWrong = 0;
    std::size_t similarWritten = 0;
    std::size_t falseAlarms = 0; // an only match said to be out of place that is the table's true place
    // By the generator's kind of table: exist, right, not placed.
    std::map<int, std::array<std::size_t, 3>> byKind;
    bool alignedAsked = false;
    bool similarAsked = false;
};

class CreateRun {
public:
    explicit CreateRun(const bench::GeneratedCase& generated) : m_generated(generated) {
        bench::WriteSettingsFolder(generated, dir.Native(u8"old"));
        bench::WriteFile(dir.Native(u8"old.bin"), generated.oldImage);
        bench::WriteFile(dir.Native(u8"new.bin"), generated.newImage);
        engine.LoadOldSettings(dir.Cp932(u8"old"));
        EXPECT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"old.bin")));
        EXPECT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
        EXPECT_TRUE(engine.CreateDefinitions());
        EXPECT_TRUE(channels.messages.empty());
    }

    // Every block, record and file agrees with what the plain search finds and with each other; returns
    // how the places compare with the truth.
    // `strict`: a definition at a place where the table is not, without a ※ line, is a failure.
    Tally Check(bool strict = true) {
        Tally tally;
        std::map<std::string, const CreateTableRecord*> records;
        for (const CreateTableRecord& record : engine.LastCreateOutcomes()) {
            records[record.name] = &record;
        }
        EXPECT_EQ(records.size(), m_generated.tables.size());
        for (const auto& table : m_generated.tables) {
            SCOPED_TRACE(table.name);
            if (!records.contains(table.name)) {
                ADD_FAILURE() << "no record";
                continue;
            }
            CheckTable(table, *records[table.name], tally, strict);
        }
        CheckQuestionsAndSummary(tally);
        return tally;
    }

    test::TempDir dir;
    CDefinitionUpdater engine;
    test::CapturedChannels channels{engine};

private:
    void CheckTable(const bench::GeneratedTable& table, const CreateTableRecord& record, Tally& tally, bool strict) {
        const auto needle = std::span(m_generated.oldImage).subspan(table.oldAddress, table.Size());
        const std::optional<std::uint32_t> lowest = FindLowestOffsetNaive(m_generated.newImage, needle);
        const std::uint32_t count = CountMatchesNaive(m_generated.newImage, needle);
        const std::vector<std::string> block = BlockOf(channels.log, table.name);
        ASSERT_GE(block.size(), 4u);
        const std::string output = JoinPath(dir.Cp932(u8"old_NEW"), table.name + ".ini");
        const std::string written = ReadBytes(ToNativePath(output).value());
        EXPECT_EQ(record.matchCount, count);
        if (lowest) {
            ASSERT_TRUE(record.newAddress);
            const std::uint32_t used = *record.newAddress;
            EXPECT_EQ(block[3], fmt::format("{}{:08X}{}", Sj(u8"　"), used, Sj(u8"にデータ発見。")));
            // The place used is the lowest match, or (the question answered yes) another match that the
            // neighbourhood points at.
            EXPECT_TRUE(std::equal(needle.begin(), needle.end(), m_generated.newImage.begin() + used));
            if (used != *lowest) {
                EXPECT_GT(count, 1u);
                tally.alignedAsked = true;
            }
            // A table that stands at several places says so right after the place used.
            const bool countLine = block.size() > 4 && block[4].starts_with(Sj(u8"　※同じデータが"));
            EXPECT_EQ(countLine, count > 1);
            if (count > 1) {
                EXPECT_EQ(block[4], count < kMatchCountCap ? fmt::format("{}{:d}{}", Sj(u8"　※同じデータが"), count,
                                                                         Sj(u8"か所にあります。"))
                                                           : Sj(u8"　※同じデータが100か所以上にあります。"));
            }
            const bool unexpected = std::any_of(block.begin(), block.end(), [](const std::string& line) {
                return line.starts_with(Sj(u8"　※前後のデータから予想される位置（"));
            });
            if (unexpected) {
                // Several matches with the aligned one declined would say so too; here every answer is yes.
                EXPECT_EQ(count, 1u);
                tally.falseAlarms += table.fate != bench::TableFate::Removed && used == table.newAddress ? 1 : 0;
            }
            const std::string undecided =
                Sj(u8"　※前後のデータから位置を判断できないため、最初の位置を使いました。確認してください。");
            if (std::find(block.begin(), block.end(), undecided) != block.end()) {
                EXPECT_GT(count, 1u);
                EXPECT_EQ(used, *lowest);
            }
            // The first line of the definition file carries the table's address: where it was found.
            if (used == table.oldAddress) {
                EXPECT_EQ(written, bench::DefinitionFileText(table));
            } else {
                EXPECT_EQ(written.substr(0, written.find(',')), fmt::format("{:X}", used));
            }
        } else {
            EXPECT_EQ(block[3], Sj(u8"　一致するデータが見つかりませんでした。"));
            EXPECT_EQ(record.matchCount, 0u);
            const bool similarLine = block.size() > 4 && block[4].ends_with(Sj(u8"%）。"));
            EXPECT_EQ(similarLine, record.similarity.has_value());
            if (similarLine) {
                // Answered yes: written at the similar place.
                tally.similarAsked = true;
                ++tally.similarWritten;
                ASSERT_TRUE(record.newAddress);
                EXPECT_EQ(block[4], fmt::format(fmt::runtime(Sj(u8"　{:08X}に似たデータがあります（一致率{:d}%）。")),
                                                *record.newAddress, *record.similarity));
                EXPECT_EQ(record.outcome, CreateOutcome::Similar);
                EXPECT_FALSE(written.empty());
            } else {
                EXPECT_EQ(written, "");
                EXPECT_FALSE(record.newAddress);
            }
        }
        // The ※ lines of the block are the record's notes.
        const auto logged = std::count_if(block.begin(), block.end(),
                                          [](const std::string& line) { return line.starts_with(Sj(u8"　※")); });
        EXPECT_EQ(static_cast<std::size_t>(logged), record.notes.size());
        for (const std::string& note : record.notes) {
            EXPECT_NE(std::find(block.begin(), block.end(), note), block.end());
        }

        // Against the truth.
        const bool exists = table.fate != bench::TableFate::Removed;
        tally.existing += exists ? 1 : 0;
        auto& kind = tally.byKind[static_cast<int>(table.kind)];
        kind[0] += exists ? 1 : 0;
        if (exists && record.newAddress == table.newAddress) {
            ++kind[1];
        }
        if (exists && !record.newAddress) {
            ++kind[2];
        }
        if (!record.newAddress || record.outcome == CreateOutcome::Error) {
            return;
        }
        if (exists && *record.newAddress == table.newAddress) {
            ++tally.rightPlace;
        } else if (record.notes.empty()) {
            ++tally.silentWrong;
            EXPECT_FALSE(strict) << "written at " << std::hex << *record.newAddress << " without a note; truth "
                                 << (exists ? table.newAddress : 0) << " kind " << static_cast<int>(table.kind);
        } else {
            ++tally.flaggedWrong;
        }
        if (!(exists && *record.newAddress == table.newAddress)) {
            const bool similar = record.outcome == CreateOutcome::Similar;
            const bool aligned = !similar && lowest && *record.newAddress != *lowest;
            tally.similarWrong += similar ? 1 : 0;
            tally.alignedWrong += aligned ? 1 : 0;
        }
    }

    void CheckQuestionsAndSummary(const Tally& tally) {
        // The opening question, then the two about doubtful places when they apply, then the notice.
        const auto& questions = channels.questions;
        ASSERT_GE(questions.size(), 2u);
        const auto asked = [&](const std::string& ending) {
            return std::any_of(questions.begin(), questions.end(),
                               [&](const std::string& q) { return q.ends_with(ending); });
        };
        EXPECT_EQ(asked(Sj(u8"前後のデータに合う位置を使いますか？")), tally.alignedAsked);
        EXPECT_EQ(asked(Sj(u8"その位置に合わせて定義ファイルを作成しますか？")), tally.similarAsked);
        EXPECT_EQ(questions.size(), 2u + (tally.alignedAsked ? 1 : 0) + (tally.similarAsked ? 1 : 0));
        if (tally.alignedAsked && tally.similarAsked) {
            EXPECT_TRUE(questions[1].ends_with(Sj(u8"前後のデータに合う位置を使いますか？")));
        }
        EXPECT_EQ(questions.back(), Sj(u8"完了しました"));

        // Every table is counted once in the summary, which ends the log.
        const auto& outcomes = engine.LastCreateOutcomes();
        const CreateSummary summary = Summarize(outcomes);
        EXPECT_EQ(summary.moved + summary.sameAddress + summary.similar + summary.notFound + summary.errors,
                  m_generated.tables.size());
        EXPECT_EQ(summary.similar, tally.similarWritten);
        const auto heading = std::find(channels.log.begin(), channels.log.end(), Sj(u8"--- 結果 ---"));
        ASSERT_EQ(std::distance(heading, channels.log.end()), 3);
        EXPECT_EQ(
            heading[1],
            fmt::format(fmt::runtime(Sj(u8"移動 {:d}　同アドレス {:d}　似たデータ {:d}　見つからず {:d}　エラー {:d}")),
                        summary.moved, summary.sameAddress, summary.similar, summary.notFound, summary.errors));
        EXPECT_EQ(heading[2], fmt::format("{}{:d}", Sj(u8"要確認 "), summary.needsCheck));
    }

    const bench::GeneratedCase& m_generated;
};

TEST_P(CreateGenerated, EveryTableIsRelocatedWhereTheSearchFoundIt) {
    bench::GeneratorOptions options;
    options.seed = 21;
    options.imageSize = 512 * 1024;
    options.tableCount = 60;
    options.maxRecordSize = 64;
    options.maxRecordCount = 200;
    options.changedPercent = 10;
    options.removedPercent = 10;
    options.style = GetParam();
    const bench::GeneratedCase generated = bench::Generate(options);

    CreateRun run(generated);
    const Tally tally = run.Check();
    EXPECT_EQ(tally.silentWrong, 0u);
    EXPECT_EQ(tally.alignedWrong, 0u);
    EXPECT_EQ(tally.similarWrong, 0u);
    EXPECT_EQ(tally.falseAlarms, 0u);
}

INSTANTIATE_TEST_SUITE_P(Styles, CreateGenerated,
                         ::testing::Values(bench::DataStyle::Realistic, bench::DataStyle::ZeroHeavy));

class CreateOnUpdates : public ::testing::TestWithParam<bench::UpdateCase> {};

void PrintTally(const char* name, const Tally& tally) {
    std::printf("%s: %zu tables exist, %zu right, %zu wrong and flagged, %zu wrong silently, %zu similar written, "
                "wrong: %zu aligned, %zu similar; %zu right but said to be out of place\n",
                name, tally.existing, tally.rightPlace, tally.flaggedWrong, tally.silentWrong, tally.similarWritten,
                tally.alignedWrong, tally.similarWrong, tally.falseAlarms);
    for (const auto& [kind, counts] : tally.byKind) {
        std::printf("  kind %d: %zu exist, %zu right, %zu not placed\n", kind, counts[0], counts[1], counts[2]);
    }
}

// The log, the records, the files, the ※ lines and the questions agree with each other and with the plain
// search, however doubtful the places.
TEST_P(CreateOnUpdates, EveryBlockRecordFileAndQuestionAgrees) {
    const bench::GeneratedCase generated = bench::Generate(GetParam().options);
    CreateRun run(generated);
    const Tally tally = run.Check(/*strict=*/false);
    PrintTally(GetParam().name, tally);
    // An only match at the table's true place is never said to be out of place.
    EXPECT_EQ(tally.falseAlarms, 0u);
}

// No definition where the table is not unless its block says to check it: a place the neighbourhood chose
// over the lowest match, or a similar place, is never a wrong one.
TEST_P(CreateOnUpdates, NoTableIsPlacedWrongWithoutSayingSo) {
    const bench::GeneratedCase generated = bench::Generate(GetParam().options);
    CreateRun run(generated);
    const Tally tally = run.Check(/*strict=*/true);
    PrintTally(GetParam().name, tally);
    EXPECT_EQ(tally.silentWrong, 0u);
    EXPECT_EQ(tally.alignedWrong, 0u);
    EXPECT_EQ(tally.similarWrong, 0u);
    // What the placing reaches today (96.8 %, 96.3 % and 17 of 18): a change that places fewer tables
    // right is a step back, even when it places none wrong.
    EXPECT_GE(tally.rightPlace * 100, tally.existing * 94)
        << tally.rightPlace << " of " << tally.existing << " at their true place";
}

// What the search must reach on real updates: 99 % of the tables that still exist at their true place.
// Reached on a real pair of builds (scripts/real-pair), not on these generated updates: small tables that
// the update changed while their old bytes stand elsewhere, tables of zeros in stretches of zeros whose
// length changed, small constants between edits on both sides. It runs on request:
// --gtest_also_run_disabled_tests.
TEST_P(CreateOnUpdates, DISABLED_NearlyAllTablesAreAtTheirTruePlace) {
    const bench::GeneratedCase generated = bench::Generate(GetParam().options);
    CreateRun run(generated);
    const Tally tally = run.Check(/*strict=*/true);
    PrintTally(GetParam().name, tally);
    EXPECT_GE(tally.rightPlace * 100, tally.existing * 99)
        << tally.rightPlace << " of " << tally.existing << " at their true place";
}

INSTANTIATE_TEST_SUITE_P(Updates, CreateOnUpdates, ::testing::ValuesIn(bench::UpdateCases()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dovra
