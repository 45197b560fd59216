#pragma once

#include <string>
#include <system_error>

namespace varo {

// A failure reported by the operating system, as the program decides by it
// and as the system names it.
struct SystemError {
    int kind = 0;            // the nearest errno value (ENOENT, EACCES, EBUSY …); 0: none
    unsigned long code = 0;  // the system's own code: errno, or GetLastError() on Windows;
                             // 0 for a failure the program found itself (a file too large)

    explicit operator bool() const { return kind != 0; }
    bool operator==(const SystemError&) const = default;
};

// A failure the program names by its errno value.
SystemError ErrnoError(int kind);
// The failure of a std::filesystem call.
SystemError FileSystemError(const std::error_code& error);
// The system's own message for it, UTF-8: strerror on POSIX, FormatMessageW
// on Windows (in the language of the system).
std::string SystemErrorMessage(const SystemError& error);

}  // namespace varo
