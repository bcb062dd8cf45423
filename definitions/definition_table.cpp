#include "definitions/definition_table.h"

#include <fmt/printf.h>

#include "engine/message_box.h"
#include "engine/path_text.h"
#include "engine/text_lines.h"
#include "engine/texts.h"

namespace dovra {
namespace {

// A record of more than 1 MiB is no record a definition file describes by hand (one line per byte); it
// would only make the field-name list huge. Tables past 4 GiB cannot lie in a 32-bit binary.
constexpr std::uint32_t kMaxRecordSize = 1u << 20;
constexpr std::uint64_t kMaxTableSize = 0xFFFFFFFFull;

void StoreFieldNames(DefinitionTable& table) {
    table.fieldNames.assign(table.recordSize, std::string());
    for (const auto& entry : table.entries) {
        if (entry.address < table.baseAddress) {
            continue;
        }
        std::uint32_t offset = entry.address - table.baseAddress;
        if (offset >= table.recordSize) {
            ShowMessageBox(fmt::sprintf(text::kFieldOutsideRecord, table.name, entry.name));
            continue;
        }
        table.fieldNames[offset] = entry.name;
    }
}

} // namespace

std::string NameListPath(std::string_view definitionPath) {
    std::string_view fileName = FileNamePart(definitionPath);
    std::string_view extension = ExtensionPart(fileName);
    std::string path(definitionPath);
    if (EqualsIgnoringCase(extension, ".ini")) {
        path.resize(path.size() - extension.size());
    }
    return path + ".idn";
}

TableLoadStatus DefinitionTable::Load(std::string_view path) {
    std::optional<std::string> definitionText = ReadTextModeFile(path);
    if (!definitionText) {
        return TableLoadStatus::DefinitionUnreadable;
    }
    DefinitionEntry working;
    const std::vector<std::string_view> lines = SplitLinePieces(*definitionText);
    entries.reserve(lines.size());
    for (std::string_view line : lines) {
        if (!working.Parse(line)) {
            return TableLoadStatus::Malformed;
        }
        entries.push_back(working);
    }
    if (entries.empty()) {
        return TableLoadStatus::Malformed;
    }
    baseAddress = entries.front().address;
    recordSize = entries.front().size;
    if (recordSize > kMaxRecordSize) {
        return TableLoadStatus::Malformed;
    }
    name = RemoveExtension(FileNamePart(path));
    StoreFieldNames(*this);

    std::optional<std::string> nameListText = ReadTextModeFile(NameListPath(path));
    if (!nameListText) {
        ShowMessageBox(text::kNameListOpenFailed);
        return TableLoadStatus::NameListUnreadable;
    }
    const std::vector<std::string_view> names = SplitLinePieces(*nameListText);
    recordNames.reserve(names.size());
    for (std::string_view line : names) {
        recordNames.emplace_back(line);
    }
    std::uint64_t bytes = static_cast<std::uint64_t>(recordNames.size()) * recordSize;
    if (bytes > kMaxTableSize) {
        return TableLoadStatus::Malformed;
    }
    tableSize = static_cast<std::uint32_t>(bytes);
    return TableLoadStatus::Loaded;
}

} // namespace dovra
