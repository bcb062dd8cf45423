#pragma once

#include <string>
#include <string_view>

// Names for files and folders that exist only while a command writes. They are short (19 bytes), so an
// output whose own name is legal can always be written beside its temporary, and of one fixed form, so
// that leftovers of a killed run can be told from anything the user made.
namespace dovra {

// ".dovra-" + 8 lower-case hexadecimal digits + ".tmp"; the digits come from one random source per run.
std::string NextTemporaryName();

// True only for names of exactly the form above.
bool IsTemporaryName(std::string_view name);

} // namespace dovra
