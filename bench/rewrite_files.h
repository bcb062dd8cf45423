#pragma once

#include <string>

#include "bench/case_files.h"

namespace dovra::bench {

// Files for a rewrite that carries 100 000 changed fields back: the generated old settings folder and old
// binary, a new settings folder with the same definitions (so the same addresses), and a new binary that
// differs from the old one in the first byte of 100 000 fields, taken as the rewrite walks them (2- and
// 4-byte numbers whole, everything else byte by byte). Every table is then asked about and, answered yes,
// logs one line per changed field.
class RewriteFiles {
public:
    static constexpr std::size_t kChangedFields = 100000;

    RewriteFiles();

    std::string OldFolder() const { return m_files.OldFolder(); }
    std::string NewFolder() const;
    std::string OldBinary() const { return m_files.OldBinary(); }
    std::string NewBinary() const;
    std::string Output() const { return NewBinary() + ".new"; }

private:
    const CaseFiles& m_files;
};

// Written on first use and kept for the rest of the process.
const RewriteFiles& CachedRewriteFiles();

} // namespace dovra::bench
