#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Deterministic test data at game-binary scale, for the benchmarks and for tests that compare the fast
// search with the plain one: an old binary holding N data tables, a new binary in which the tables moved
// (bytes inserted and deleted between them), a few changed and a few removed, and the settings folder that
// describes the old binary as the Dovra editor writes it.
namespace dovra::bench {

enum class DataStyle {
    // Code-like filler, padding runs, text and small integers; tables of records with ids, counters,
    // flags, pointers and names.
    Realistic,
    // The case that defeats a first-byte scan: binaries that are almost all zero bytes, tables of mostly
    // zero records, some entirely zero and some zero runs ending in a single marker byte.
    ZeroHeavy,
};

struct GeneratorOptions {
    std::uint64_t seed = 1;
    std::uint32_t imageSize = 1u << 20; // of the old binary; the new one differs by the edits
    std::uint32_t tableCount = 100;
    std::uint32_t minRecordSize = 4;
    std::uint32_t maxRecordSize = 256;
    std::uint32_t minRecordCount = 1;
    std::uint32_t maxRecordCount = 5000;
    std::uint32_t changedPercent = 2; // tables with a few bytes altered in the new binary
    std::uint32_t removedPercent = 2; // tables replaced by other bytes in the new binary
    DataStyle style = DataStyle::Realistic;
    // What real updates do besides moving tables, each a percentage of the tables (all off by default, so
    // the cases above stay as they were). Their draws come from a stream of their own.
    std::uint32_t copiedPercent = 0;   // the update adds a copy of the table's bytes somewhere else
    std::uint32_t zeroPercent = 0;     // small tables of nothing but zero bytes
    std::uint32_t constantPercent = 0; // small tables of a common constant that the code holds too
    std::uint32_t repeatedPercent = 0; // a small table whose bytes stand many times over in both binaries
    std::uint32_t pointerPercent = 0;  // tables of pointers into other tables, moving with them
    std::uint32_t echoedPercent = 0;   // removed tables whose bytes still stand elsewhere in the new binary
};

enum class FieldKind { Id, Counter, Flag, Pointer, Text, Byte, Reserved };

struct GeneratedField {
    std::string name; // code page 932
    FieldKind kind = FieldKind::Byte;
    std::uint32_t width = 1; // 1, 2 or 4, or the length of a text field
};

enum class TableFate { Kept, Changed, Removed };

// Which of the update's habits the table was given (Plain: none).
enum class TableKind { Plain, Copied, Zero, Constant, Repeated, Pointers, Echoed };

struct GeneratedTable {
    std::string name; // code page 932, unique, usable as a file name
    std::uint32_t oldAddress = 0;
    std::uint32_t recordSize = 0;
    std::uint32_t recordCount = 0;
    std::vector<GeneratedField> fields;   // cover recordSize bytes in order
    std::vector<std::string> recordNames; // code page 932, one per record
    TableFate fate = TableFate::Kept;
    TableKind kind = TableKind::Plain;
    // Where the table went (its bytes changed or not, pointers moved or not); unused when removed. Other
    // places may hold the same bytes: this one is the truth.
    std::uint32_t newAddress = 0;

    std::uint32_t Size() const { return recordSize * recordCount; }
};

struct GeneratedCase {
    std::vector<std::uint8_t> oldImage;
    std::vector<std::uint8_t> newImage;
    std::vector<GeneratedTable> tables; // in ascending old address
};

// The same options always give the same case.
GeneratedCase Generate(const GeneratorOptions& options);

// Writes `<name>.ini` and `<name>.idn` for every table into `folder` (created if missing), code page 932
// with CR LF line ends: one definition line per byte of the record, one name per record.
void WriteSettingsFolder(const GeneratedCase& generated, const std::filesystem::path& folder);

// The definition file and name list of one table, as written by WriteSettingsFolder.
std::string DefinitionFileText(const GeneratedTable& table);
std::string NameListText(const GeneratedTable& table);

// Writes bytes to a file, replacing it.
void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

} // namespace dovra::bench
