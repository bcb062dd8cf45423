#include <fstream>
#include <stdexcept>

#include <fmt/format.h>

#include "bench/generator.h"
#include "engine/encoding.h"
#include "engine/native_path.h"

// The settings folder as the Dovra editor writes it: code page 932 text with CR LF line ends, one
// definition line per byte of the record, a name list with one line per record.
namespace dovra::bench {
namespace {

const GeneratedField& FieldAt(const GeneratedTable& table, std::uint32_t offset, std::uint32_t& fieldStart) {
    fieldStart = 0;
    for (const auto& field : table.fields) {
        if (offset < fieldStart + field.width) {
            return field;
        }
        fieldStart += field.width;
    }
    throw std::logic_error("fields do not cover the record");
}

// Only 2- and 4-byte numbers carry a wider width; text is a run of 1-byte fields.
std::string WidthText(const GeneratedField& field) {
    const bool number = field.kind != FieldKind::Text && (field.width == 2 || field.width == 4);
    return number ? std::to_string(field.width) : "1";
}

std::filesystem::path NativeFile(const std::filesystem::path& folder, const std::string& cp932Name) {
    auto name = ToNativePath(cp932Name);
    if (!name) {
        throw std::invalid_argument("table name without a native form");
    }
    return folder / *name;
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace

std::string DefinitionFileText(const GeneratedTable& table) {
    static const std::string kDecimal = Utf8ToCp932("10進").value();
    static const std::string kHex = Utf8ToCp932("16進").value();
    std::string text;
    for (std::uint32_t offset = 0; offset < table.recordSize; ++offset) {
        std::uint32_t fieldStart = 0;
        const GeneratedField& field = FieldAt(table, offset, fieldStart);
        const bool first = offset == fieldStart;
        // Columns: address, name, width, size (the first line carries the record size), flag, display,
        // note, number, two spare texts; every one ends with a comma.
        fmt::format_to(std::back_inserter(text), "{:08X},{},{},{},{},{},,{},,,\r\n", table.oldAddress + offset,
                       first ? field.name : std::string(), first ? WidthText(field) : "1",
                       offset == 0 ? fmt::format("{:X}", table.recordSize) : std::string(),
                       field.kind == FieldKind::Flag ? 1 : 0, field.kind == FieldKind::Counter ? kDecimal : kHex,
                       first ? 0 : 1);
    }
    return text;
}

std::string NameListText(const GeneratedTable& table) {
    std::string text;
    for (const auto& name : table.recordNames) {
        text += name;
        text += "\r\n";
    }
    return text;
}

void WriteSettingsFolder(const GeneratedCase& generated, const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (const auto& table : generated.tables) {
        WriteText(NativeFile(folder, table.name + ".ini"), DefinitionFileText(table));
        WriteText(NativeFile(folder, table.name + ".idn"), NameListText(table));
    }
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace dovra::bench
