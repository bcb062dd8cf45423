#include "rewrite/output_file.h"

#include <fmt/format.h>

#include "engine/file_system.h"
#include "engine/texts.h"

namespace dovra {

std::string OutputPathFor(const std::string& newBinaryPath) {
    return newBinaryPath + ".new";
}

bool WriteRewrittenBinary(const CDefinitionUpdater& engine, const BinaryImage& image, const std::string& outputPath,
                          const std::string& oldBinaryPath, const std::string& baseBinaryPath) {
    // An old binary picked from an earlier run's output sits exactly where this run writes; replacing it
    // would destroy an input file, so that case fails like any other write.
    bool written = !IsSameFile(outputPath, oldBinaryPath) && !IsSameFile(outputPath, baseBinaryPath) &&
                   WriteFileAtomically(outputPath, image.data.get(), image.size);
    std::string notice = fmt::format(fmt::runtime(written ? text::kOutputWritten : text::kOutputFailed), outputPath);
    // The notice is shown as a question whose answer changes nothing.
    engine.Confirm(notice);
    engine.Log(notice);
    return written;
}

} // namespace dovra
