#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/definition_entry.h"
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

// One table: a definition file (one line per byte of the record) and its name list (one record per line).
struct DefinitionTable {
    std::uint32_t baseAddress = 0;
    std::uint32_t recordSize = 0;
    std::uint32_t tableSize = 0; // record names × recordSize; 0 until the name list is read
    std::string name;            // the definition file's name without folder and last extension
    // The definition file's lines in file order, the first recordSize of them (line k describes byte k of
    // the record; later lines only name fields). Each carries the columns earlier lines left it.
    std::vector<DefinitionEntry> entries;
    std::vector<std::string> recordNames; // name-list lines as read, line feeds kept
    // Field names by byte offset in the record, only where a line names one: an offset that is missing has
    // the empty name. (A record may be 1 MiB long; one empty text per byte would be 32 MiB a table.)
    std::map<std::uint32_t, std::string> fieldNames;

    // Loads the definition file at `path` (code page 932) and the name list beside it. May show message
    // boxes. Call once, on a new table. `folder`, the index of the folder that holds `path`, finds the
    // name list without asking the file system again (a whole folder is loaded against one index).
    // `definitionText`, when given, receives the definition file's text-mode content as it was parsed (set
    // whenever the file could be read), so a later step can use what was loaded rather than read the file
    // again after someone changed it.
    TableLoadStatus Load(std::string_view path, const FolderIndex* folder = nullptr,
                         std::string* definitionText = nullptr);

private:
    // Everything after reading the definition file: its lines are `definitionText`.
    TableLoadStatus LoadFrom(std::string_view path, std::string_view definitionText, const FolderIndex* folder);
};

// The name list that belongs to a definition file: its last extension (".ini" in any letter case)
// replaced by ".idn"; folder names are never touched.
std::string NameListPath(std::string_view definitionPath);

} // namespace dovra
