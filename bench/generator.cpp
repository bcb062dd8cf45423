#include "bench/generator.h"

#include <algorithm>
#include <array>
#include <span>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "bench/random_source.h"
#include "engine/encoding.h"

namespace dovra::bench {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Tables never take more than this share of the old binary, so there is room between them for the edits.
constexpr std::uint32_t kTablePercentOfImage = 60;

std::string Cp932(std::string_view utf8) {
    return Utf8ToCp932(utf8).value();
}

// Words for table, field and record names. 表 ends in the byte 0x5C, the path separator of Windows, and
// ソ in 0x5C too: names must survive being file names.
const std::vector<std::string>& TableWords() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> made;
        for (const char* word : {"アイテム", "武器", "防具", "敵ステータス", "魔法", "表", "ショップ", "イベント",
                                 "宝箱", "台詞", "ソート順", "item", "enemy"}) {
            made.push_back(Cp932(word));
        }
        return made;
    }();
    return words;
}

const std::vector<std::string>& FieldWords() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> made;
        for (const char* word : {"HP", "MP", "攻撃力", "防御力", "素早さ", "価格", "属性", "経験値", "所持金", "行動",
                                 "画像番号", "効果"}) {
            made.push_back(Cp932(word));
        }
        return made;
    }();
    return words;
}

const std::vector<std::string>& RecordWords() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> made;
        for (const char* word :
             {"ポーション", "剣", "盾", "スライム", "ドラゴン", "炎", "氷", "村人", "宿屋", "Potion", "Sword"}) {
            made.push_back(Cp932(word));
        }
        return made;
    }();
    return words;
}

template <typename T> const T& Pick(RandomSource& random, const std::vector<T>& items) {
    return items[random.Between(0, static_cast<std::uint32_t>(items.size() - 1))];
}

// Numbers in the target binaries are little-endian; a field wider than four bytes is zero above them.
void PutLittleEndian(std::span<std::uint8_t> out, std::uint32_t value) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = i < 4 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0;
    }
}

// --- Table shapes -------------------------------------------------------------------------------------

std::vector<GeneratedField> RealisticLayout(RandomSource& random, std::uint32_t recordSize) {
    std::vector<GeneratedField> fields;
    std::uint32_t left = recordSize;
    bool haveId = false;
    while (left > 0) {
        GeneratedField field;
        const std::uint32_t roll = random.Between(0, 99);
        if (left >= 4 && !haveId && roll < 30) {
            field = {Cp932("ID"), FieldKind::Id, random.Percent(50) ? 4u : 2u};
            haveId = true;
        } else if (left >= 4 && roll < 50) {
            field = {Pick(random, FieldWords()), FieldKind::Counter, random.Percent(50) ? 4u : 2u};
        } else if (left >= 4 && roll < 58) {
            field = {Cp932("ポインタ"), FieldKind::Pointer, 4};
        } else if (left >= 6 && roll < 66) {
            field = {Cp932("名前"), FieldKind::Text, random.Between(4, std::min<std::uint32_t>(left, 16))};
        } else if (left >= 2 && roll < 74) {
            field = {Cp932("予備"), FieldKind::Reserved, 2};
        } else if (roll < 84) {
            field = {Cp932("フラグ"), FieldKind::Flag, 1};
        } else {
            field = {Pick(random, FieldWords()), random.Percent(50) ? FieldKind::Counter : FieldKind::Byte, 1};
        }
        field.width = std::min(field.width, left);
        left -= field.width;
        fields.push_back(std::move(field));
    }
    return fields;
}

std::vector<GeneratedTable> DrawTables(const GeneratorOptions& options, RandomSource& random) {
    std::vector<GeneratedTable> tables(options.tableCount);
    std::uint64_t total = 0;
    for (auto& table : tables) {
        table.recordSize = random.LogUniform(options.minRecordSize, options.maxRecordSize);
        table.recordCount = random.LogUniform(options.minRecordCount, options.maxRecordCount);
        total += table.Size();
    }
    // Too many bytes for the image: fewer records everywhere, the same shapes otherwise.
    const std::uint64_t budget = std::uint64_t{options.imageSize} * kTablePercentOfImage / 100;
    while (total > budget) {
        std::uint64_t shrunk = 0;
        for (auto& table : tables) {
            if (table.recordCount > 1) {
                table.recordCount = std::max<std::uint32_t>(
                    1, static_cast<std::uint32_t>(std::uint64_t{table.recordCount} * budget / total));
            } else if (table.recordSize > 1) {
                table.recordSize = std::max<std::uint32_t>(1, table.recordSize / 2);
            }
            shrunk += table.Size();
        }
        if (shrunk == total) {
            throw std::invalid_argument("the tables do not fit in the image");
        }
        total = shrunk;
    }
    for (std::size_t i = 0; i < tables.size(); ++i) {
        GeneratedTable& table = tables[i];
        table.name = Pick(random, TableWords()) + std::to_string(1000 + i);
        table.fields = RealisticLayout(random, table.recordSize);
        const std::string& word = Pick(random, RecordWords());
        for (std::uint32_t r = 0; r < table.recordCount; ++r) {
            table.recordNames.push_back(word + std::to_string(r));
        }
    }
    return tables;
}

// --- Bytes --------------------------------------------------------------------------------------------

// Between the tables of a game binary: code, zero padding, 0xFF fill, strings and integer arrays.
void FillRealisticFiller(RandomSource& random, std::span<std::uint8_t> out) {
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t length = std::min<std::size_t>(out.size() - at, random.LogUniform(16, 65536));
        std::span<std::uint8_t> chunk = out.subspan(at, length);
        const std::uint32_t kind = random.Between(0, 99);
        if (kind < 45) { // code: dense bytes, some zero
            random.Fill(chunk);
            for (auto& b : chunk) {
                if ((b & 0x7) == 0) {
                    b = 0;
                }
            }
        } else if (kind < 65) {
            std::fill(chunk.begin(), chunk.end(), std::uint8_t{0});
        } else if (kind < 70) {
            std::fill(chunk.begin(), chunk.end(), std::uint8_t{0xFF});
        } else if (kind < 85) { // NUL-terminated strings
            std::size_t i = 0;
            while (i < chunk.size()) {
                const std::string word = Pick(random, RecordWords()) + std::to_string(random.Between(0, 99));
                for (char c : word) {
                    if (i < chunk.size()) {
                        chunk[i++] = static_cast<std::uint8_t>(c);
                    }
                }
                if (i < chunk.size()) {
                    chunk[i++] = 0;
                }
            }
        } else { // small little-endian integers
            for (std::size_t i = 0; i < chunk.size(); i += 4) {
                PutLittleEndian(chunk.subspan(i, std::min<std::size_t>(4, chunk.size() - i)), random.Between(0, 999));
            }
        }
        at += length;
    }
}

// Zero bytes with a rare non-zero one.
void FillZeroHeavyFiller(RandomSource& random, std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    std::size_t at = random.LogUniform(64, 65536);
    while (at < out.size()) {
        out[at] = static_cast<std::uint8_t>(random.Between(1, 255));
        at += random.LogUniform(64, 65536);
    }
}

void FillFiller(RandomSource& random, DataStyle style, std::span<std::uint8_t> out) {
    if (style == DataStyle::Realistic) {
        FillRealisticFiller(random, out);
    } else {
        FillZeroHeavyFiller(random, out);
    }
}

void FillField(RandomSource& random, const GeneratedField& field, const GeneratedTable& table, std::uint32_t record,
               std::span<std::uint8_t> out) {
    switch (field.kind) {
    case FieldKind::Id:
        PutLittleEndian(out, 1 + record);
        break;
    case FieldKind::Counter:
        PutLittleEndian(out, random.Between(0, field.width == 1 ? 99 : 9999));
        break;
    case FieldKind::Flag:
        PutLittleEndian(out, random.Between(0, 1));
        break;
    case FieldKind::Pointer:
        PutLittleEndian(out, 0x08000000u + table.oldAddress + record * table.recordSize);
        break;
    case FieldKind::Text: {
        const std::string& name = table.recordNames[record];
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0;
        }
        break;
    }
    case FieldKind::Byte:
        PutLittleEndian(out, random.Byte());
        break;
    case FieldKind::Reserved:
        PutLittleEndian(out, 0);
        break;
    }
}

void FillRealisticTable(RandomSource& random, const GeneratedTable& table, std::span<std::uint8_t> out) {
    for (std::uint32_t record = 0; record < table.recordCount; ++record) {
        std::size_t offset = std::size_t{record} * table.recordSize;
        for (const auto& field : table.fields) {
            FillField(random, field, table, record, out.subspan(offset, field.width));
            offset += field.width;
        }
    }
}

// Mostly zero records; some tables entirely zero, some a zero run with one marker byte at the end.
void FillZeroHeavyTable(RandomSource& random, std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    const std::uint32_t kind = random.Between(0, 99);
    if (kind < 15) {
        return;
    }
    if (kind < 35) {
        out.back() = static_cast<std::uint8_t>(random.Between(1, 255));
        return;
    }
    for (auto& b : out) {
        if (random.Percent(5)) {
            b = static_cast<std::uint8_t>(random.Between(1, 255));
        }
    }
}

// A few bytes differ, so the table's bytes as a whole are no longer in the new binary.
void ChangeBytes(RandomSource& random, std::span<std::uint8_t> table) {
    const std::uint32_t count = random.Between(1, 3);
    for (std::uint32_t i = 0; i < count; ++i) {
        table[random.Between(0, static_cast<std::uint32_t>(table.size() - 1))] ^=
            static_cast<std::uint8_t>(random.Between(1, 255));
    }
}

// A stretch of filler as the new version has it: bytes inserted at one place, others deleted elsewhere.
void AppendEditedFiller(RandomSource& random, DataStyle style, std::span<const std::uint8_t> filler, Bytes& out) {
    std::size_t keepFrom = 0;
    std::size_t keepTo = filler.size();
    if (!filler.empty() && random.Percent(30)) { // delete a leading or trailing part
        const std::size_t cut =
            random.Between(0, static_cast<std::uint32_t>(std::min<std::size_t>(filler.size() / 2, 4096)));
        if (random.Percent(50)) {
            keepFrom = cut;
        } else {
            keepTo -= cut;
        }
    }
    const std::size_t insertAt = keepFrom + random.Between(0, static_cast<std::uint32_t>(keepTo - keepFrom));
    out.insert(out.end(), filler.begin() + static_cast<std::ptrdiff_t>(keepFrom),
               filler.begin() + static_cast<std::ptrdiff_t>(insertAt));
    if (random.Percent(50)) {
        Bytes inserted(random.LogUniform(1, 4096));
        FillFiller(random, style, inserted);
        out.insert(out.end(), inserted.begin(), inserted.end());
    }
    out.insert(out.end(), filler.begin() + static_cast<std::ptrdiff_t>(insertAt),
               filler.begin() + static_cast<std::ptrdiff_t>(keepTo));
}

TableFate DrawFate(RandomSource& random, const GeneratorOptions& options) {
    const std::uint32_t roll = random.Between(0, 99);
    if (roll < options.removedPercent) {
        return TableFate::Removed;
    }
    return roll < options.removedPercent + options.changedPercent ? TableFate::Changed : TableFate::Kept;
}

// --- What real updates do ----------------------------------------------------------------------------

bool UsesHabits(const GeneratorOptions& options) {
    return options.copiedPercent + options.zeroPercent + options.constantPercent + options.repeatedPercent +
               options.pointerPercent + options.echoedPercent >
           0;
}

TableKind DrawKind(RandomSource& random, const GeneratorOptions& options) {
    const std::uint32_t roll = random.Between(0, 99);
    std::uint32_t bound = 0;
    for (const auto& [percent, kind] :
         {std::pair{options.copiedPercent, TableKind::Copied}, std::pair{options.zeroPercent, TableKind::Zero},
          std::pair{options.constantPercent, TableKind::Constant},
          std::pair{options.repeatedPercent, TableKind::Repeated},
          std::pair{options.pointerPercent, TableKind::Pointers},
          std::pair{options.echoedPercent, TableKind::Echoed}}) {
        bound += percent;
        if (roll < bound) {
            return kind;
        }
    }
    return TableKind::Plain;
}

// A new shape for a table whose kind wants one: the fields and record names follow it.
void Reshape(RandomSource& random, GeneratedTable& table, std::uint32_t recordSize, std::uint32_t recordCount) {
    table.recordSize = recordSize;
    table.recordCount = recordCount;
    table.fields = RealisticLayout(random, recordSize);
    table.recordNames.clear();
    const std::string& word = Pick(random, RecordWords());
    for (std::uint32_t r = 0; r < recordCount; ++r) {
        table.recordNames.push_back(word + std::to_string(r));
    }
}

// Zero tables, constants and small repeated records are small; pointer tables are arrays of pointers.
void DrawKinds(RandomSource& random, const GeneratorOptions& options, std::vector<GeneratedTable>& tables) {
    for (GeneratedTable& table : tables) {
        table.kind = DrawKind(random, options);
        switch (table.kind) {
        case TableKind::Zero:
            Reshape(random, table, random.Between(1, 16), random.Between(1, 8));
            break;
        case TableKind::Constant:
            Reshape(random, table, 4, random.Between(1, 4));
            break;
        case TableKind::Repeated:
            Reshape(random, table, random.Between(4, 16), random.Between(1, 2));
            break;
        case TableKind::Pointers:
            Reshape(random, table, 4, std::min<std::uint32_t>(table.recordCount, 512));
            table.fields = {{Cp932("ポインタ"), FieldKind::Pointer, 4}};
            break;
        default:
            break;
        }
    }
}

// Values that real binaries hold over and over: 1, -1, 1.0f, 10.
constexpr std::array<std::uint32_t, 4> kCommonConstants = {1u, 0xFFFFFFFFu, 0x3F800000u, 10u};

// Writes `bytes` at `count` places inside the gaps of the old image (never over a table).
void Plant(RandomSource& random, std::span<std::uint8_t> image, const std::vector<std::uint64_t>& gapStarts,
           const std::vector<std::uint64_t>& gaps, std::span<const std::uint8_t> bytes, std::uint32_t count) {
    for (std::uint32_t tries = 0; count > 0 && tries < count * 8 + 64; ++tries) {
        const std::size_t gap = random.Between(0, static_cast<std::uint32_t>(gaps.size() - 1));
        if (gaps[gap] < bytes.size()) {
            continue;
        }
        const std::uint64_t at =
            gapStarts[gap] + random.Between(0, static_cast<std::uint32_t>(gaps[gap] - bytes.size()));
        std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
        --count;
    }
}

struct PointerTarget {
    std::size_t table = 0;
    std::uint32_t record = 0;
};

constexpr std::uint32_t kPointerBase = 0x08000000u;

// Gives the tables of the special kinds their bytes in the old image; returns where each pointer points.
std::vector<std::vector<PointerTarget>> FillKinds(RandomSource& random, std::vector<GeneratedTable>& tables,
                                                  std::span<std::uint8_t> image,
                                                  const std::vector<std::uint64_t>& gapStarts,
                                                  const std::vector<std::uint64_t>& gaps) {
    std::vector<std::vector<PointerTarget>> targets(tables.size());
    for (std::size_t t = 0; t < tables.size(); ++t) {
        GeneratedTable& table = tables[t];
        std::span<std::uint8_t> bytes = image.subspan(table.oldAddress, table.Size());
        switch (table.kind) {
        case TableKind::Zero:
            std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
            break;
        case TableKind::Constant: {
            const std::uint32_t value = kCommonConstants[random.Between(0, kCommonConstants.size() - 1)];
            for (std::size_t i = 0; i < bytes.size(); i += 4) {
                PutLittleEndian(bytes.subspan(i, 4), value);
            }
            Plant(random, image, gapStarts, gaps, bytes, random.Between(10, 60));
            break;
        }
        case TableKind::Repeated:
            random.Fill(bytes);
            Plant(random, image, gapStarts, gaps, bytes, random.LogUniform(5, 200));
            break;
        case TableKind::Pointers: {
            // Pointers into the records of one or two other tables, as a table of names or scripts has.
            std::array<std::size_t, 2> pointed{};
            for (auto& other : pointed) {
                other = random.Between(0, static_cast<std::uint32_t>(tables.size() - 1));
            }
            for (std::uint32_t r = 0; r < table.recordCount; ++r) {
                const std::size_t other = pointed[r * 2 < table.recordCount ? 0 : 1];
                const PointerTarget target{other, r % tables[other].recordCount};
                targets[t].push_back(target);
                PutLittleEndian(bytes.subspan(std::size_t{r} * 4, 4),
                                kPointerBase + tables[other].oldAddress + target.record * tables[other].recordSize);
            }
            break;
        }
        default:
            break;
        }
    }
    return targets;
}

} // namespace

GeneratedCase Generate(const GeneratorOptions& options) {
    RandomSource random(options.seed);
    RandomSource habits(options.seed ^ 0x5DEECE66Dull);
    const bool withHabits = UsesHabits(options);
    GeneratedCase made;
    made.tables = DrawTables(options, random);
    if (withHabits) {
        DrawKinds(habits, options, made.tables);
    }

    // Gaps before, between and after the tables take the rest of the image; one in twenty is empty, so
    // some tables touch.
    std::uint64_t tableBytes = 0;
    for (const auto& table : made.tables) {
        tableBytes += table.Size();
    }
    const std::uint64_t fillerBytes = options.imageSize - tableBytes;
    std::vector<std::uint64_t> weights(made.tables.size() + 1);
    std::uint64_t weightSum = 0;
    for (auto& weight : weights) {
        weight = random.Percent(5) ? 0 : random.LogUniform(1, 1000);
        weightSum += weight;
    }
    std::vector<std::uint64_t> gaps(weights.size());
    std::uint64_t given = 0;
    for (std::size_t i = 0; i < gaps.size(); ++i) {
        gaps[i] = weightSum == 0 ? 0 : fillerBytes * weights[i] / weightSum;
        given += gaps[i];
    }
    gaps.back() += fillerBytes - given;

    // The old binary: gap, table, gap, table, ..., gap.
    made.oldImage.resize(options.imageSize);
    std::span<std::uint8_t> oldImage(made.oldImage);
    std::uint64_t at = 0;
    std::vector<std::uint64_t> gapStarts(gaps.size());
    for (std::size_t i = 0; i < made.tables.size(); ++i) {
        FillFiller(random, options.style, oldImage.subspan(at, gaps[i]));
        gapStarts[i] = at;
        at += gaps[i];
        GeneratedTable& table = made.tables[i];
        table.oldAddress = static_cast<std::uint32_t>(at);
        std::span<std::uint8_t> bytes = oldImage.subspan(at, table.Size());
        if (options.style == DataStyle::Realistic) {
            FillRealisticTable(random, table, bytes);
        } else {
            FillZeroHeavyTable(random, bytes);
        }
        at += table.Size();
    }
    FillFiller(random, options.style, oldImage.subspan(at, gaps.back()));
    gapStarts.back() = at;
    std::vector<std::vector<PointerTarget>> pointers;
    // Copies the update adds, and removed tables whose bytes stand elsewhere: inserted after a gap.
    std::vector<std::vector<std::size_t>> insertedAfterGap(gaps.size());
    if (withHabits) {
        pointers = FillKinds(habits, made.tables, oldImage, gapStarts, gaps);
        for (std::size_t t = 0; t < made.tables.size(); ++t) {
            const TableKind kind = made.tables[t].kind;
            if (kind == TableKind::Copied || kind == TableKind::Echoed) {
                // Not in the gaps next to the table: bytes that stand right beside the place a table left are
                // the table moved a little, whatever the update did.
                std::size_t gap = t;
                while (made.tables.size() > 2 && (gap == t || gap == t + 1)) {
                    gap = habits.Between(0, static_cast<std::uint32_t>(gaps.size() - 1));
                }
                insertedAfterGap[gap].push_back(t);
            }
        }
    }
    const auto insertAfterGap = [&](std::size_t gap) {
        for (std::size_t t : insertedAfterGap[gap]) {
            const auto bytes = oldImage.subspan(made.tables[t].oldAddress, made.tables[t].Size());
            made.newImage.insert(made.newImage.end(), bytes.begin(), bytes.end());
        }
    };

    // The new binary: the same sequence with edited gaps, and each table kept, changed or removed.
    made.newImage.reserve(made.oldImage.size() + made.oldImage.size() / 16);
    at = 0;
    for (std::size_t i = 0; i < made.tables.size(); ++i) {
        AppendEditedFiller(random, options.style, oldImage.subspan(at, gaps[i]), made.newImage);
        insertAfterGap(i);
        at += gaps[i];
        GeneratedTable& table = made.tables[i];
        table.fate = DrawFate(random, options);
        if (table.kind == TableKind::Echoed) {
            table.fate = TableFate::Removed;
        } else if ((table.kind == TableKind::Pointers || table.kind == TableKind::Copied) &&
                   table.fate == TableFate::Changed) {
            // A pointer table's change is the pointers' move, made once every table has its new place; a
            // copied table stays as it was, its copy being the doubt.
            table.fate = TableFate::Kept;
        }
        table.newAddress = static_cast<std::uint32_t>(made.newImage.size());
        std::span<const std::uint8_t> bytes = oldImage.subspan(at, table.Size());
        if (table.fate == TableFate::Removed) {
            Bytes other(bytes.size());
            FillFiller(random, options.style, other);
            if (!other.empty() && std::equal(other.begin(), other.end(), bytes.begin())) {
                // Filler that happens to be the table's own bytes (zeros for a table of zeros) would leave
                // the table where it was: a removed table's bytes are gone from its place.
                other[0] = static_cast<std::uint8_t>(~other[0]);
            }
            made.newImage.insert(made.newImage.end(), other.begin(), other.end());
        } else {
            made.newImage.insert(made.newImage.end(), bytes.begin(), bytes.end());
            if (table.fate == TableFate::Changed && !bytes.empty()) {
                ChangeBytes(random, std::span(made.newImage).subspan(table.newAddress, bytes.size()));
            }
        }
        at += table.Size();
    }
    AppendEditedFiller(random, options.style, oldImage.subspan(at, gaps.back()), made.newImage);
    insertAfterGap(gaps.size() - 1);
    // Pointers follow what they point to; a pointer into a removed table is left as it was.
    for (std::size_t t = 0; t < pointers.size(); ++t) {
        const GeneratedTable& table = made.tables[t];
        if (table.fate == TableFate::Removed) {
            continue;
        }
        for (std::uint32_t r = 0; r < pointers[t].size(); ++r) {
            const GeneratedTable& other = made.tables[pointers[t][r].table];
            if (other.fate != TableFate::Removed) {
                PutLittleEndian(std::span(made.newImage).subspan(table.newAddress + std::size_t{r} * 4, 4),
                                kPointerBase + other.newAddress + pointers[t][r].record * other.recordSize);
            }
        }
    }
    return made;
}

} // namespace dovra::bench
