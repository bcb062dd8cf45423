#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The names of one folder, read once, for finding files the way Windows does: exactly, or else by the one
// name that matches ignoring letter case. Loading a settings folder looks up a name list for every
// definition file; asking the file system each time, with a scan of the whole folder whenever the letter
// case differs ("TABLE.INI" beside "TABLE.IDN"), made a load quadratic in the number of files.
namespace dovra {

class FolderIndex {
public:
    // The folder (code page 932) is listed once, at the first name that does not exist exactly, so a
    // folder whose names all match costs one existence test per name as before. Names without a code page
    // 932 form are left out, as the engine cannot name them anyway. A missing folder lists as empty.
    explicit FolderIndex(std::string_view folder);

    // The path to open for `name` in this folder: folder + separator + the name as it is on disk; nullopt
    // when no name matches, or when only names that differ in letter case match and there are several of
    // them (one file on Windows; there is no telling which one was meant).
    std::optional<std::string> Resolve(std::string_view name) const;

private:
    void List() const;

    std::string m_folder;
    mutable bool m_listed = false;
    mutable std::unordered_map<std::string, std::vector<std::string>> m_byFoldedName; // names as on disk
};

} // namespace dovra
