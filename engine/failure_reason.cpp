#include "engine/failure_reason.h"

#include <cerrno>

#include "engine/encoding.h"
#include "engine/texts.h"

namespace dovra {
namespace {

thread_local std::error_code g_lastFailure;

const char* Translated(const std::error_code& reason) {
    const std::error_condition condition = reason.default_error_condition();
    if (condition == std::errc::permission_denied || condition == std::errc::operation_not_permitted) {
        return text::kReasonPermissionDenied;
    }
    if (condition == std::errc::no_space_on_device) {
        return text::kReasonNoSpace;
    }
    if (condition == std::errc::filename_too_long) {
        return text::kReasonNameTooLong;
    }
    if (condition == std::errc::is_a_directory) {
        return text::kReasonIsAFolder;
    }
    if (condition == std::errc::no_such_file_or_directory) {
        return text::kReasonNotFound;
    }
    if (condition == std::errc::read_only_file_system) {
        return text::kReasonReadOnly;
    }
    if (condition == std::errc::file_exists || condition == std::errc::not_a_directory) {
        return text::kReasonFileInTheWay;
    }
    return nullptr;
}

} // namespace

void NoteFailure(std::error_code reason) {
    g_lastFailure = reason;
}

void NoteFailureFromErrno() {
    g_lastFailure = errno != 0 ? std::error_code(errno, std::generic_category()) : std::error_code();
}

std::string WithFailureReason(std::string line) {
    if (!g_lastFailure) {
        return line;
    }
    const char* translated = Translated(g_lastFailure);
    // The system's own words are UTF-8 here (or plain ASCII); shown as near as code page 932 allows.
    const std::string reason =
        translated != nullptr ? std::string(translated) : Utf8ToCp932Lossy(g_lastFailure.message());
    return line + text::kReasonOpen + reason + text::kReasonClose;
}

} // namespace dovra
