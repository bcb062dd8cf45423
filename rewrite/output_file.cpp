#include "rewrite/output_file.h"

#include <fmt/format.h>

#include "engine/failure_reason.h"
#include "engine/file_system.h"
#include "engine/native_path.h"
#include "engine/texts.h"

namespace dovra {

std::string OutputPathFor(const std::string& newBinaryPath) {
    return newBinaryPath + ".new";
}

namespace {

// The output keeps the new binary's permission bits: a game executable stays executable.
bool WriteOutput(const std::string& outputPath, const BinaryImage& image, const std::string& newBinaryPath) {
    if (auto output = ToNativePath(outputPath)) {
        RemoveLeftoverTemporaries(output->parent_path());
    }
    AtomicFileWriter writer(outputPath);
    writer.KeepPermissionsOf(newBinaryPath);
    // From a mapping only the changed pages are written by the tool; the system copies the rest from the
    // new binary.
    const MappedFile* mapping = image.data.Mapping();
    const bool written = mapping != nullptr ? writer.WriteMapped(*mapping, image.data.get(), image.size)
                                            : writer.Write(image.data.get(), image.size);
    // A binary that changed while it was written out gives a file that is neither version.
    if (written && !image.data.Unchanged()) {
        NoteFailure({});
        return false;
    }
    return written && writer.Commit();
}

} // namespace

bool WriteRewrittenBinary(const CDefinitionUpdater& engine, const BinaryImage& image, const std::string& outputPath,
                          const std::string& oldBinaryPath, const std::string& baseBinaryPath) {
    // An old binary picked from an earlier run's output sits exactly where this run writes; replacing it
    // would destroy an input file, so that case fails like any other write.
    // Bytes from a binary that another program changed meanwhile may be neither version of it.
    const bool unchanged =
        engine.OldImage().data.Unchanged() && image.data.Unchanged() && engine.BaseImage().data.Unchanged();
    if (!unchanged) {
        engine.Log(text::kBinaryChangedMeanwhile);
    }
    const bool overInput = IsSameFile(outputPath, oldBinaryPath) || IsSameFile(outputPath, baseBinaryPath);
    if (overInput || !unchanged) {
        NoteFailure({});
    }
    bool written = unchanged && !overInput && WriteOutput(outputPath, image, engine.NewBinaryPath());
    std::string notice = written ? fmt::format(fmt::runtime(text::kOutputWritten), outputPath)
                                 : WithFailureReason(fmt::format(fmt::runtime(text::kOutputFailed), outputPath));
    // The notice is shown as a question whose answer changes nothing.
    engine.Confirm(notice);
    engine.Log(notice);
    return written;
}

} // namespace dovra
