#include "migration/atomic_copy.h"

#include <cerrno>
#include <cstdio>

#include "engine/failure_reason.h"
#include "engine/file_system.h"

namespace dovra {

namespace {

template <typename Writer> bool CopyWith(std::string_view from, std::string_view to, bool (Writer::*finish)()) {
    FilePtr source = OpenForReading(from);
    if (!source) {
        return false;
    }
    Writer writer(to);
    if (!writer.IsOpen()) {
        return false;
    }
    char buffer[65536];
    std::size_t count;
    errno = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, source.get())) > 0) {
        if (!writer.Write(buffer, count)) {
            return false;
        }
    }
    // A read that fails says why, as a write does.
    if (std::ferror(source.get())) {
        NoteFailureFromErrno();
        return false;
    }
    return (writer.*finish)();
}

} // namespace

bool CopyFileAtomically(std::string_view from, std::string_view to) {
    return CopyWith<AtomicFileWriter>(from, to, &AtomicFileWriter::Commit);
}

bool CopyFileStaged(std::string_view from, std::string_view to) {
    return CopyWith<StagedFileWriter>(from, to, &StagedFileWriter::Finish);
}

} // namespace dovra
