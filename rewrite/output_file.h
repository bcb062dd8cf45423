#pragma once

#include <string>

#include "engine/binary_image.h"
#include "engine/definition_updater.h"

namespace dovra {

// The rewritten binary's file: the new binary's whole path with ".new" appended, its extension kept.
std::string OutputPathFor(const std::string& newBinaryPath);

// Writes the whole image to `outputPath` and tells the user, through the prompt and then the log, either
// where it went or that it failed. Only a complete file ever replaces what stood at the path, and a file
// that is `oldBinaryPath` or `baseBinaryPath` (empty when none was given) itself is never replaced. False
// on failure.
bool WriteRewrittenBinary(const CDefinitionUpdater& engine, const BinaryImage& image, const std::string& outputPath,
                          const std::string& oldBinaryPath, const std::string& baseBinaryPath = {});

} // namespace dovra
