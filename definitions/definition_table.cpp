#include "definitions/definition_table.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include "engine/failure_reason.h"
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

// Field names go by the address of the line that names them, from every line of the file, in file order:
// a later line for the same offset replaces the name.
void NameField(DefinitionTable& table, const DefinitionEntry& line) {
    if (line.address < table.baseAddress) {
        return;
    }
    std::uint32_t offset = line.address - table.baseAddress;
    if (offset >= table.recordSize) {
        ShowMessageBox(fmt::sprintf(text::kFieldOutsideRecord, table.name, line.name));
        return;
    }
    if (line.name.empty()) {
        table.fieldNames.erase(offset);
    } else {
        table.fieldNames[offset] = line.name;
    }
}

// From the kept lines when they are all the file has; else the file's lines are parsed once more, since
// only the first recordSize of them are kept.
void StoreFieldNames(DefinitionTable& table, std::string_view definitionText, bool everyLineKept) {
    table.fieldNames.clear();
    if (everyLineKept) {
        for (const auto& entry : table.entries) {
            NameField(table, entry);
        }
        return;
    }
    DefinitionEntry working;
    ForEachLinePiece(definitionText, [&](std::string_view line) {
        working.Parse(line);
        NameField(table, working);
    });
}

// A text editor's "Unicode" save writes UTF-16, whose every other byte is NUL: read as C strings the lines
// end at once and hold no comma. Said to the user, since the file looks fine in the editor that wrote it.
bool LooksLikeUtf16(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        return true;
    }
    const std::string_view head = bytes.substr(0, 64);
    std::size_t evenNuls = 0;
    std::size_t oddNuls = 0;
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (head[i] == '\0') {
            ++(i % 2 == 0 ? evenNuls : oddNuls);
        }
    }
    const std::size_t pairs = head.size() / 2;
    return pairs > 0 && (evenNuls * 4 >= pairs * 3 || oddNuls * 4 >= pairs * 3) && (evenNuls == 0 || oddNuls == 0);
}

void ExplainEncoding(std::string_view path, std::string_view bytes) {
    if (LooksLikeUtf16(bytes)) {
        ShowMessageBox(fmt::format(fmt::runtime(text::kDefinitionIsUtf16), path));
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        ShowMessageBox(fmt::format(fmt::runtime(text::kDefinitionHasUtf8Bom), path));
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

TableLoadStatus DefinitionTable::Load(std::string_view path, const FolderIndex* folder, std::string* keptText) {
    std::optional<std::string> definitionText = ReadTextModeFile(path);
    if (!definitionText) {
        return TableLoadStatus::DefinitionUnreadable;
    }
    const TableLoadStatus status = LoadFrom(path, *definitionText, folder);
    if (keptText != nullptr) {
        *keptText = std::move(*definitionText);
    }
    return status;
}

TableLoadStatus DefinitionTable::LoadFrom(std::string_view path, std::string_view definitionText,
                                          const FolderIndex* folder) {
    DefinitionEntry working;
    // A file in which no line holds a single column (UTF-16, line ends only, a stray word) describes no
    // table; loaded, it would be a 1-byte record at address 0 that a rewrite offers to overwrite.
    bool anyColumn = false;
    bool parsed = true;
    std::size_t lineCount = 0;
    ForEachLinePiece(definitionText, [&](std::string_view line) {
        if (!parsed) {
            return;
        }
        parsed = working.Parse(line);
        anyColumn = anyColumn || line.find(',') != std::string_view::npos;
        // Line k describes byte k of the record; lines past the record size describe no byte, so they
        // are not kept (a file of millions of short lines would take hundreds of bytes for each).
        if (lineCount == 0 || lineCount < entries.front().size) {
            entries.push_back(working);
        }
        ++lineCount;
    });
    if (!parsed || !anyColumn) {
        ExplainEncoding(path, definitionText);
        return TableLoadStatus::Malformed;
    }
    baseAddress = entries.front().address;
    recordSize = entries.front().size;
    if (recordSize > kMaxRecordSize) {
        return TableLoadStatus::Malformed;
    }
    name = RemoveExtension(FileNamePart(path));
    StoreFieldNames(*this, definitionText, lineCount == entries.size());

    std::optional<std::string> nameListText;
    if (folder == nullptr) {
        nameListText = ReadTextModeFile(NameListPath(path));
    } else if (auto nameList = folder->Resolve(FileNamePart(NameListPath(path)))) {
        nameListText = ReadTextModeFile(*nameList);
    } else {
        NoteFailure(std::make_error_code(std::errc::no_such_file_or_directory));
    }
    if (!nameListText) {
        // A missing list and one the user may not read are mended differently.
        ShowMessageBox(WithFailureReason(text::kNameListOpenFailed));
        return TableLoadStatus::NameListUnreadable;
    }
    ForEachLinePiece(*nameListText, [this](std::string_view line) { recordNames.emplace_back(line); });
    std::uint64_t bytes = static_cast<std::uint64_t>(recordNames.size()) * recordSize;
    if (bytes > kMaxTableSize) {
        return TableLoadStatus::Malformed;
    }
    tableSize = static_cast<std::uint32_t>(bytes);
    return TableLoadStatus::Loaded;
}

} // namespace dovra
