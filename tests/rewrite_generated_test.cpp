// The three-way rewrite on a generated update: tables moved, pointers moved with them, values changed by
// the update; the user's own edits in other tables and in some of the same ones. The output must be the new
// binary plus exactly the user's edits. The plain rewrite on the same files shows what it would overwrite.
#include <algorithm>
#include <iostream>
#include <optional>
#include <set>

#include <gtest/gtest.h>

#include "bench/generator.h"
#include "support/test_support.h"

namespace dovra {
namespace {

using bench::FieldKind;
using bench::GeneratedTable;

struct FieldAt {
    std::uint32_t offset = 0; // in the record
    std::uint32_t width = 0;
};

// The first field of `kind` with a width the rewrite reads whole (1, 2 or 4), if the table has one.
std::optional<FieldAt> FirstField(const GeneratedTable& table, FieldKind kind) {
    std::uint32_t offset = 0;
    for (const auto& field : table.fields) {
        if (field.kind == kind && (field.width == 1 || field.width == 2 || field.width == 4)) {
            return FieldAt{offset, field.width};
        }
        offset += field.width;
    }
    return std::nullopt;
}

std::uint32_t ReadField(const std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t width) {
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < width; ++i) {
        value |= std::uint32_t{image[at + i]} << (8 * i);
    }
    return value;
}

void WriteField(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t width, std::uint32_t value) {
    for (std::uint32_t i = 0; i < width; ++i) {
        image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::size_t CountDifferences(const std::string& first, const std::string& second) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < std::min(first.size(), second.size()); ++i) {
        count += first[i] != second[i] ? 1 : 0;
    }
    return count;
}

class RewriteGenerated : public ::testing::Test {
protected:
    void SetUp() override {
        bench::GeneratorOptions options;
        options.seed = 18;
        options.imageSize = 256 * 1024;
        options.tableCount = 48;
        options.maxRecordSize = 64;
        options.maxRecordCount = 120;
        // The update's changes are made here, field by field, so that every one of them is known.
        options.changedPercent = 0;
        options.removedPercent = 0;
        generated = bench::Generate(options);
        user = generated.oldImage;
        expected = generated.newImage;
        MakeUpdateAndEdits();

        bench::WriteSettingsFolder(generated, dir.Native(u8"old"));
        auto moved = generated;
        for (auto& table : moved.tables) {
            table.oldAddress = table.newAddress;
        }
        bench::WriteSettingsFolder(moved, dir.Native(u8"new"));
        bench::WriteFile(dir.Native(u8"base.bin"), generated.oldImage);
        bench::WriteFile(dir.Native(u8"user.bin"), user);
        bench::WriteFile(dir.Native(u8"new.bin"), generated.newImage);
    }

    // Update: in every third table the pointers follow the table to its new place; in the next one a
    // counter changes in every fifth record. User: in half the tables a counter changes in every seventh
    // record (some of them the very ones the update changed, differently: conflicts), and in some tables
    // the user and the update made the same change to record 1.
    void MakeUpdateAndEdits() {
        for (std::size_t index = 0; index < generated.tables.size(); ++index) {
            const GeneratedTable& table = generated.tables[index];
            const auto pointer = FirstField(table, FieldKind::Pointer);
            const auto counter = FirstField(table, FieldKind::Counter);
            for (std::uint32_t record = 0; record < table.recordCount; ++record) {
                const std::size_t oldAt = std::size_t{table.oldAddress} + std::size_t{record} * table.recordSize;
                const std::size_t newAt = std::size_t{table.newAddress} + std::size_t{record} * table.recordSize;
                if (index % 3 == 0 && pointer) {
                    UpdateField(newAt + pointer->offset, pointer->width,
                                0x08000000u + table.newAddress + record * table.recordSize);
                }
                if (!counter) {
                    continue;
                }
                const std::uint32_t base = ReadField(generated.oldImage, oldAt + counter->offset, counter->width);
                const bool updated = index % 3 == 1 && record % 5 == 0;
                const bool edited = index % 4 < 2 && record % 7 == 0;
                const bool sameChange = index % 5 == 2 && record == 1;
                if (updated) {
                    UpdateField(newAt + counter->offset, counter->width, base ^ 0x01);
                }
                if (edited) {
                    EditField(oldAt + counter->offset, newAt + counter->offset, counter->width, base ^ 0x02);
                    conflicts += updated ? 1 : 0;
                    editedTables.insert(table.name);
                } else if (sameChange && !updated) {
                    UpdateField(newAt + counter->offset, counter->width, base ^ 0x04);
                    EditField(oldAt + counter->offset, newAt + counter->offset, counter->width, base ^ 0x04);
                    editedTables.insert(table.name);
                    --fieldsWritten; // already in the new binary
                }
            }
        }
    }

    void UpdateField(std::size_t newAt, std::uint32_t width, std::uint32_t value) {
        WriteField(generated.newImage, newAt, width, value);
        WriteField(expected, newAt, width, value);
        ++updateChanges;
    }

    void EditField(std::size_t oldAt, std::size_t newAt, std::uint32_t width, std::uint32_t value) {
        WriteField(user, oldAt, width, value);
        WriteField(expected, newAt, width, value);
        ++fieldsWritten;
    }

    void Run(bool withBase) {
        channels.log.clear();
        engine.LoadOldSettings(dir.Cp932(u8"old"));
        engine.LoadNewSettings(dir.Cp932(u8"new"));
        ASSERT_TRUE(engine.LoadOldBinary(dir.Cp932(u8"user.bin")));
        ASSERT_TRUE(engine.LoadNewBinary(dir.Cp932(u8"new.bin")));
        if (withBase) {
            ASSERT_TRUE(engine.LoadBaseBinary(dir.Cp932(u8"base.bin")));
        } else {
            engine.ClearBaseBinary();
        }
        ASSERT_TRUE(engine.Rewrite());
        EXPECT_TRUE(channels.messages.empty());
    }

    std::string Expected() const { return std::string(expected.begin(), expected.end()); }
    std::string Output() const { return test::ReadBytes(dir.Native(u8"new.bin.new")); }

    bench::GeneratedCase generated;
    std::vector<std::uint8_t> user;
    std::vector<std::uint8_t> expected;
    std::set<std::string> editedTables;
    int updateChanges = 0;
    int fieldsWritten = 0;
    int conflicts = 0;

    test::TempDir dir;
    CDefinitionUpdater engine;
    test::CapturedChannels channels{engine};
};

TEST_F(RewriteGenerated, TheThreeWayOutputIsTheNewBinaryPlusExactlyTheUsersEdits) {
    ASSERT_GT(conflicts, 0) << "the case should hold conflicts";
    ASSERT_GT(updateChanges, 100) << "the case should hold update changes";
    Run(true);
    EXPECT_EQ(CountDifferences(Output(), Expected()), 0u);
    EXPECT_EQ(Output(), Expected());

    // Conflicts are listed one line each and counted; only the edited tables were asked about.
    const auto conflictLines = std::count_if(channels.log.begin(), channels.log.end(), [](const std::string& line) {
        return line.find(test::Sj(u8"は更新でも変わっています")) != std::string::npos;
    });
    EXPECT_EQ(conflictLines, conflicts);
    int written = 0;
    int counted = 0;
    std::set<std::string> carried;
    for (const RewriteOutcome& outcome : engine.LastRewrite()) {
        written += static_cast<int>(outcome.fieldsWritten);
        counted += static_cast<int>(outcome.conflicts);
        if (outcome.outcome == TableOutcome::kRewritten) {
            carried.insert(outcome.name);
        } else {
            EXPECT_TRUE(outcome.outcome == TableOutcome::kUnchanged || outcome.outcome == TableOutcome::kMatch)
                << outcome.name;
        }
    }
    EXPECT_EQ(written, fieldsWritten);
    EXPECT_EQ(counted, conflicts);
    EXPECT_TRUE(std::includes(editedTables.begin(), editedTables.end(), carried.begin(), carried.end()));
    EXPECT_EQ(channels.questions.size(), carried.size() + 1); // and the output notice
    std::cout << "three-way rewrite: " << carried.size() << " of " << editedTables.size() << " edited tables carried, "
              << written << " fields written, " << counted << " conflicts\n";
}

TEST_F(RewriteGenerated, ThePlainRewriteOverwritesTheUpdatesChanges) {
    Run(false);
    // Every byte in which the plain output differs from the right result is an update change undone.
    const std::size_t overwritten = CountDifferences(Output(), Expected());
    std::cout << "plain rewrite: " << engine.LastRewrite().size() << " tables, " << updateChanges
              << " fields changed by the update, " << overwritten << " of their bytes overwritten\n";
    EXPECT_GT(overwritten, 0u);
}

} // namespace
} // namespace dovra
