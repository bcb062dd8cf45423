// How many tables of generated updates the locator puts at their true place, by kind of table, with every
// question answered yes; with --misses, one line for each table that is not at its true place. Seconds per
// case, where the create command's test takes a minute: the tool to try a change of the locator with.
//
//     build/bin/locate_accuracy [--misses] [case...]      cases: Typical Dense Sparse ZeroHeavy

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "bench/generator.h"
#include "bench/update_cases.h"
#include "locate/table_locator.h"

namespace {

using dovra::bench::TableFate;
using dovra::bench::UpdateCase;

// The create command's test cases, and a zero-heavy one.
std::vector<UpdateCase> Cases() {
    const auto shared = dovra::bench::UpdateCases();
    std::vector<UpdateCase> cases(shared.begin(), shared.end());
    cases.push_back({"ZeroHeavy", dovra::bench::WithHabits({.seed = 8,
                                                            .imageSize = 8u << 20,
                                                            .tableCount = 500,
                                                            .maxRecordSize = 64,
                                                            .maxRecordCount = 200,
                                                            .style = dovra::bench::DataStyle::ZeroHeavy})});
    return cases;
}

const char* KindName(dovra::bench::TableKind kind) {
    static const char* const names[] = {"plain", "copied", "zero", "constant", "repeated", "pointers", "echoed"};
    return names[static_cast<int>(kind)];
}

// Where the create command puts the table with every question answered yes.
std::optional<std::uint32_t> Used(const dovra::TableLocation& location) {
    if (location.matchCount > 1) {
        return location.alignedMatch ? location.alignedMatch : location.lowestMatch;
    }
    if (location.lowestMatch) {
        return location.lowestMatch;
    }
    if (location.similar) {
        return location.similar->offset;
    }
    return std::nullopt;
}

void Run(const UpdateCase& c, bool misses) {
    const dovra::bench::GeneratedCase generated = dovra::bench::Generate(c.options);
    if (const char* dump = std::getenv("DOVRA_ACCURACY_DUMP")) {
        // The images, for a closer look at a miss: <dump>/<case>.old, <case>.new.
        dovra::bench::WriteFile(std::filesystem::path(dump) / (std::string(c.name) + ".old"), generated.oldImage);
        dovra::bench::WriteFile(std::filesystem::path(dump) / (std::string(c.name) + ".new"), generated.newImage);
    }
    std::vector<dovra::TableRegion> regions;
    for (const auto& table : generated.tables) {
        regions.push_back({table.oldAddress, table.Size()});
    }
    const std::vector<dovra::TableLocation> locations =
        dovra::FindTables(generated.oldImage, generated.newImage, regions);
    struct Counts {
        int exist = 0, right = 0, wrong = 0, missing = 0, chosenWrong = 0;
    };
    std::map<std::string, Counts> byKind;
    Counts all;
    int removedPlaced = 0;
    for (std::size_t i = 0; i < generated.tables.size(); ++i) {
        const auto& table = generated.tables[i];
        const dovra::TableLocation& location = locations[i];
        const std::optional<std::uint32_t> used = Used(location);
        if (table.fate == TableFate::Removed) {
            removedPlaced += used ? 1 : 0;
            all.chosenWrong += used && used != location.lowestMatch ? 1 : 0;
            if (misses && used && used != location.lowestMatch) {
                fmt::print("  removed {:<8} size {:6} old {:08X} used {:08X} count {}\n", KindName(table.kind),
                           table.Size(), table.oldAddress, *used, location.matchCount);
            }
            continue;
        }
        Counts& kind = byKind[KindName(table.kind)];
        const bool right = used && *used == table.newAddress;
        for (Counts* counts : {&kind, &all}) {
            ++counts->exist;
            counts->right += right ? 1 : 0;
            counts->wrong += used && !right ? 1 : 0;
            counts->missing += used ? 0 : 1;
            // A place the neighbourhood chose over the lowest match, or a similar place: a wrong one is
            // written on the tool's own judgement.
            counts->chosenWrong += used && !right && used != location.lowestMatch ? 1 : 0;
        }
        if (misses && !right) {
            const auto hex = [](const std::optional<std::uint32_t>& value) {
                return value ? fmt::format("{:08X}", *value) : std::string("-");
            };
            fmt::print("  miss {:<8} size {:6} old {:08X} true {:08X} used {} count {:3} lowest {} predicted {} "
                       "aligned {} similar {}{}\n",
                       KindName(table.kind), table.Size(), table.oldAddress, table.newAddress, hex(used),
                       location.matchCount, hex(location.lowestMatch), hex(location.predicted),
                       hex(location.alignedMatch), location.similar ? std::to_string(location.similar->percent) : "-",
                       table.fate == TableFate::Changed ? " changed" : "");
        }
    }
    std::printf("%s: %d exist, %d right (%.1f %%), %d wrong (%d of them chosen over the lowest match or "
                "similar), %d missing; %d removed tables placed\n",
                c.name, all.exist, all.right, 100.0 * all.right / all.exist, all.wrong, all.chosenWrong, all.missing,
                removedPlaced);
    for (const auto& [kind, counts] : byKind) {
        std::printf("  %-8s %5d exist %5d right %4d wrong %4d chosen wrong %4d missing\n", kind.c_str(), counts.exist,
                    counts.right, counts.wrong, counts.chosenWrong, counts.missing);
    }
}

} // namespace

int main(int argc, char** argv) {
    bool misses = false;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--misses") == 0) {
            misses = true;
        } else {
            names.emplace_back(argv[i]);
        }
    }
    for (const UpdateCase& c : Cases()) {
        if (names.empty() || std::find(names.begin(), names.end(), c.name) != names.end()) {
            Run(c, misses);
        }
    }
    return 0;
}
