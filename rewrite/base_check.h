#pragma once

#include <optional>
#include <string>

#include "definitions/definition_set.h"
#include "engine/binary_image.h"

namespace dovra {

// Whether `base` can be the unmodified form of the user's old binary `oldImage`, judged by the old
// settings folder's tables; the message to show when it plainly cannot, nothing when it may. Its size
// alone does not matter (edited binaries are often expanded). It is refused when
//   - a table whose region lies inside the old binary does not lie inside the base, or
//   - more than half of the tables that both hold (size above 0) differ in more than half of their bytes:
//     editing touches some fields of some tables, while another file, or another version of the binary,
//     differs almost everywhere.
std::optional<std::string> BaseMismatch(const SummaryMap& oldSummaries, const BinaryImage& oldImage,
                                        const BinaryImage& base);

} // namespace dovra
