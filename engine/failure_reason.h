#pragma once

#include <string>
#include <string_view>
#include <system_error>

// Why the last file operation of this thread failed, as the system said it. The file services record it
// where they fail, so a failure line can carry the reason ("permission denied", "no space") instead of
// only saying that something failed.
namespace dovra {

// Recorded by the file services on failure: errno as it stands, or a given code; cleared by an empty one.
void NoteFailure(std::error_code reason);
void NoteFailureFromErrno();

// `line` with the last recorded reason appended in full-width parentheses: in Japanese where a short
// translation is plain (permission denied, no space, name too long, a folder, not found, read-only), else
// as the system words it. `line` unchanged when no reason was recorded.
std::string WithFailureReason(std::string line);

} // namespace dovra
