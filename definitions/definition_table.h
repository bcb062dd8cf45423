#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/definition_entry.h"
#include "engine/file_system.h"
#include "engine/folder_index.h"

namespace dovra {

enum class TableLoadStatus {
    Loaded,
    DefinitionUnreadable, // the definition file could not be opened: the table stays new
    NameListUnreadable,   // message shown; everything but recordNames and tableSize is filled
    Malformed,            // a column 0 or 3 that does not convert, no line with a comma (none at all
                          // included), a record size above 1 MiB or a table of more than FFFFFFFF bytes:
                          // nothing of it may be used
};

// The kept lines of a definition file, each with the columns earlier lines left it, as DefinitionEntry
// gives them. Stored compactly, since a settings folder describes every byte of every record by a line of
// its own and as DefinitionEntry objects its lines took several times the file's size: a line is its
// address and the index of its other columns, which most lines share with a line just before them (every
// byte of a field but its first reads the same), and each column's text lies once in a table-wide buffer.
class DefinitionLines {
public:
    // One line as read back: the texts are views into the lines' buffer, valid until the lines change.
    struct Line {
        std::uint32_t address = 0;
        std::string_view name;
        std::string_view widthText;
        std::uint32_t size = 0;
        std::uint32_t flag4 = 0;
        std::string_view text5;
        std::string_view text6;
        std::int32_t number7 = 0;
        std::string_view text8;
        std::string_view text9;
    };

    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    void clear();
    Line operator[](std::size_t index) const;
    Line front() const { return (*this)[0]; }
    // Line `index`'s column 2 alone, for the rewrite's walk, which asks it for every field.
    std::string_view WidthTextAt(std::size_t index) const { return Text(m_columns[m_lines[index].columns].texts[1]); }
    void push_back(const DefinitionEntry& entry);
    // Gives back what the containers grew by beyond the lines kept: called when a file's lines are all in.
    void ShrinkToFit();

private:
    static constexpr std::size_t kTexts = 6; // name, widthText, text5, text6, text8, text9
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    struct Columns {
        std::uint32_t size = 0;
        std::int32_t number7 = 0;
        std::uint8_t flag4 = 0;
        std::uint32_t texts[kTexts] = {}; // indexes into m_texts
    };
    struct Stored {
        std::uint32_t address = 0;
        std::uint32_t columns = 0; // index into m_columns
    };
    struct Span {
        std::size_t offset = 0;
        std::size_t length = 0;
    };
    std::string_view Text(std::uint32_t index) const;
    bool Holds(const Columns& columns, const DefinitionEntry& entry) const;
    std::uint32_t Keep(std::string_view text, std::uint32_t previous);

    std::vector<Stored> m_lines;
    std::vector<Columns> m_columns;
    std::vector<Span> m_texts; // m_texts[0] is the empty text
    std::string m_buffer;
    std::uint32_t m_recent[2] = {kNone, kNone}; // the columns the last lines used, latest first
};

// The lines of a name list as read, line feeds kept, one record each. One buffer holds them all, with where
// each line ends: a name list holds a line per record, thousands in a table, and a text object for each
// took a few times the line. Copies share the lines until one of them is changed (the engine keeps the new
// folder's names twice: in its tables and by table name).
class RecordNameList {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        std::string_view operator*() const { return (*m_names)[m_index]; }
        const_iterator& operator++() {
            ++m_index;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++m_index;
            return before;
        }
        bool operator==(const const_iterator& other) const { return m_index == other.m_index; }

    private:
        friend class RecordNameList;
        const_iterator(const RecordNameList* names, std::size_t index) : m_names(names), m_index(index) {}
        const RecordNameList* m_names = nullptr;
        std::size_t m_index = 0;
    };
    using iterator = const_iterator;
    using value_type = std::string_view;

    std::size_t size() const { return m_lines ? m_lines->ends.size() : 0; }
    bool empty() const { return size() == 0; }
    std::string_view operator[](std::size_t index) const;
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }
    void push_back(std::string_view name);
    void clear() { m_lines.reset(); }
    // Gives back what the containers grew by beyond the lines kept: called when a list's lines are all in.
    void ShrinkToFit();

    bool operator==(const RecordNameList& other) const;
    bool operator==(const std::vector<std::string>& names) const;

private:
    struct Lines {
        std::string text;
        std::vector<std::size_t> ends; // where each line ends in `text`
    };
    Lines& Own();

    std::shared_ptr<Lines> m_lines; // shared by copies; a change goes to a copy of its own
};

std::ostream& operator<<(std::ostream& out, const RecordNameList& names);

// A definition file's text-mode content as it was parsed, and the stamp of the file it came from where that
// stamp can tell a later write (see StampVouches): while it still matches, the file holds that content.
struct LoadedDefinition {
    std::string text;
    std::optional<FileStamp> stamp;
};

// One table: a definition file (one line per byte of the record) and its name list (one record per line).
struct DefinitionTable {
    std::uint32_t baseAddress = 0;
    std::uint32_t recordSize = 0;
    std::uint32_t tableSize = 0; // record names × recordSize; 0 until the name list is read
    std::string name;            // the definition file's name without folder and last extension
    // The definition file's lines in file order, the first recordSize of them (line k describes byte k of
    // the record; later lines only name fields). Each carries the columns earlier lines left it.
    DefinitionLines entries;
    RecordNameList recordNames; // the name list, a record a line
    // Field names by byte offset in the record, only where a line names one: an offset that is missing has
    // the empty name. (A record may be 1 MiB long; one empty text per byte would be 32 MiB a table.)
    std::map<std::uint32_t, std::string> fieldNames;

    // Loads the definition file at `path` (code page 932) and the name list beside it. May show message
    // boxes. Call once, on a new table. `folder`, the index of the folder that holds `path`, finds the
    // name list without asking the file system again (a whole folder is loaded against one index).
    // `loaded`, when given, receives the definition file's content as it was parsed (set whenever the file
    // could be read), so a later step can use what was loaded rather than read the file again after
    // someone changed it.
    TableLoadStatus Load(std::string_view path, const FolderIndex* folder = nullptr,
                         LoadedDefinition* loaded = nullptr);

private:
    // Everything after reading the definition file: its lines are `definitionText`.
    TableLoadStatus LoadFrom(std::string_view path, std::string_view definitionText, const FolderIndex* folder);
};

// The name list that belongs to a definition file: its last extension (".ini" in any letter case)
// replaced by ".idn"; folder names are never touched.
std::string NameListPath(std::string_view definitionPath);

} // namespace dovra
