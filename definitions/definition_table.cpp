#include "definitions/definition_table.h"

#include <algorithm>
#include <ostream>

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
void NameField(DefinitionTable& table, std::uint32_t address, std::string_view name) {
    if (address < table.baseAddress) {
        return;
    }
    std::uint32_t offset = address - table.baseAddress;
    if (offset >= table.recordSize) {
        ShowMessageBox(fmt::sprintf(text::kFieldOutsideRecord, table.name, std::string(name)));
        return;
    }
    if (name.empty()) {
        table.fieldNames.erase(offset);
    } else {
        table.fieldNames[offset] = name;
    }
}

// From the kept lines when they are all the file has; else the file's lines are parsed once more, since
// only the first recordSize of them are kept.
void StoreFieldNames(DefinitionTable& table, std::string_view definitionText, bool everyLineKept) {
    table.fieldNames.clear();
    if (everyLineKept) {
        for (std::size_t k = 0; k < table.entries.size(); ++k) {
            const DefinitionLines::Line line = table.entries[k];
            NameField(table, line.address, line.name);
        }
        return;
    }
    DefinitionEntry working;
    ForEachLinePiece(definitionText, [&](std::string_view line) {
        working.Parse(line);
        NameField(table, working.address, working.name);
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

void DefinitionLines::clear() {
    m_lines.clear();
    m_columns.clear();
    m_texts.clear();
    m_buffer.clear();
    m_recent[0] = m_recent[1] = kNone;
}

std::string_view DefinitionLines::Text(std::uint32_t index) const {
    const Span& span = m_texts[index];
    return std::string_view(m_buffer).substr(span.offset, span.length);
}

bool DefinitionLines::Holds(const Columns& columns, const DefinitionEntry& entry) const {
    return columns.size == entry.size && columns.number7 == entry.number7 && columns.flag4 == entry.flag4 &&
           Text(columns.texts[0]) == entry.name && Text(columns.texts[1]) == entry.widthText &&
           Text(columns.texts[2]) == entry.text5 && Text(columns.texts[3]) == entry.text6 &&
           Text(columns.texts[4]) == entry.text8 && Text(columns.texts[5]) == entry.text9;
}

// The index of `text`: `previous` (the same column's in the columns stored last) when the text is the
// same, else a new one.
std::uint32_t DefinitionLines::Keep(std::string_view text, std::uint32_t previous) {
    if (Text(previous) == text) {
        return previous;
    }
    if (text.empty()) {
        return 0;
    }
    m_texts.push_back(Span{m_buffer.size(), text.size()});
    m_buffer.append(text);
    return static_cast<std::uint32_t>(m_texts.size() - 1);
}

void DefinitionLines::push_back(const DefinitionEntry& entry) {
    if (m_texts.empty()) {
        m_texts.push_back(Span{});
    }
    std::uint32_t index = kNone;
    if (m_recent[0] != kNone && Holds(m_columns[m_recent[0]], entry)) {
        index = m_recent[0];
    } else if (m_recent[1] != kNone && Holds(m_columns[m_recent[1]], entry)) {
        index = m_recent[1];
    } else {
        const std::uint32_t* previous = m_columns.empty() ? nullptr : m_columns.back().texts;
        Columns columns;
        columns.size = entry.size;
        columns.number7 = entry.number7;
        columns.flag4 = static_cast<std::uint8_t>(entry.flag4); // Parse stores only 0 or 1
        const std::string* texts[kTexts] = {&entry.name,  &entry.widthText, &entry.text5,
                                            &entry.text6, &entry.text8,     &entry.text9};
        for (std::size_t c = 0; c < kTexts; ++c) {
            columns.texts[c] = Keep(*texts[c], previous != nullptr ? previous[c] : 0);
        }
        m_columns.push_back(columns);
        index = static_cast<std::uint32_t>(m_columns.size() - 1);
    }
    if (index != m_recent[0]) {
        m_recent[1] = m_recent[0];
        m_recent[0] = index;
    }
    m_lines.push_back(Stored{entry.address, index});
}

void DefinitionLines::ShrinkToFit() {
    m_lines.shrink_to_fit();
    m_columns.shrink_to_fit();
    m_texts.shrink_to_fit();
    m_buffer.shrink_to_fit();
}

DefinitionLines::Line DefinitionLines::operator[](std::size_t index) const {
    const Stored& stored = m_lines[index];
    const Columns& columns = m_columns[stored.columns];
    Line line;
    line.address = stored.address;
    line.name = Text(columns.texts[0]);
    line.widthText = Text(columns.texts[1]);
    line.size = columns.size;
    line.flag4 = columns.flag4;
    line.text5 = Text(columns.texts[2]);
    line.text6 = Text(columns.texts[3]);
    line.number7 = columns.number7;
    line.text8 = Text(columns.texts[4]);
    line.text9 = Text(columns.texts[5]);
    return line;
}

RecordNameList::Lines& RecordNameList::Own() {
    if (!m_lines) {
        m_lines = std::make_shared<Lines>();
    } else if (m_lines.use_count() > 1) {
        m_lines = std::make_shared<Lines>(*m_lines);
    }
    return *m_lines;
}

std::string_view RecordNameList::operator[](std::size_t index) const {
    const std::size_t start = index == 0 ? 0 : m_lines->ends[index - 1];
    return std::string_view(m_lines->text).substr(start, m_lines->ends[index] - start);
}

void RecordNameList::push_back(std::string_view name) {
    Lines& lines = Own();
    lines.text.append(name);
    lines.ends.push_back(lines.text.size());
}

void RecordNameList::ShrinkToFit() {
    if (m_lines) {
        Lines& lines = Own();
        lines.text.shrink_to_fit();
        lines.ends.shrink_to_fit();
    }
}

bool RecordNameList::operator==(const RecordNameList& other) const {
    return std::equal(begin(), end(), other.begin(), other.end());
}

bool RecordNameList::operator==(const std::vector<std::string>& names) const {
    return std::equal(begin(), end(), names.begin(), names.end());
}

std::ostream& operator<<(std::ostream& out, const RecordNameList& names) {
    out << '{';
    const char* separator = "";
    for (std::string_view name : names) {
        out << separator << '"' << name << '"';
        separator = ", ";
    }
    return out << '}';
}

std::string NameListPath(std::string_view definitionPath) {
    std::string_view fileName = FileNamePart(definitionPath);
    std::string_view extension = ExtensionPart(fileName);
    std::string path(definitionPath);
    if (EqualsIgnoringCase(extension, ".ini")) {
        path.resize(path.size() - extension.size());
    }
    return path + ".idn";
}

TableLoadStatus DefinitionTable::Load(std::string_view path, const FolderIndex* folder, LoadedDefinition* loaded) {
    std::optional<FileStamp> stamp;
    std::optional<std::string> definitionText = ReadTextModeFile(path, loaded != nullptr ? &stamp : nullptr);
    if (!definitionText) {
        return TableLoadStatus::DefinitionUnreadable;
    }
    const TableLoadStatus status = LoadFrom(path, *definitionText, folder);
    if (loaded != nullptr) {
        loaded->text = std::move(*definitionText);
        loaded->stamp = stamp && StampVouches(*stamp) ? stamp : std::nullopt;
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
    std::uint32_t firstSize = 0;
    ForEachLinePiece(definitionText, [&](std::string_view line) {
        if (!parsed) {
            return;
        }
        parsed = working.Parse(line);
        anyColumn = anyColumn || line.find(',') != std::string_view::npos;
        // Line k describes byte k of the record; lines past the record size describe no byte, so they
        // are not kept (a file of millions of short lines would take hundreds of bytes for each).
        if (lineCount == 0 || lineCount < firstSize) {
            entries.push_back(working);
            firstSize = lineCount == 0 ? working.size : firstSize;
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
    entries.ShrinkToFit();
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
    ForEachLinePiece(*nameListText, [this](std::string_view line) { recordNames.push_back(line); });
    recordNames.ShrinkToFit();
    std::uint64_t bytes = static_cast<std::uint64_t>(recordNames.size()) * recordSize;
    if (bytes > kMaxTableSize) {
        return TableLoadStatus::Malformed;
    }
    tableSize = static_cast<std::uint32_t>(bytes);
    return TableLoadStatus::Loaded;
}

} // namespace dovra
