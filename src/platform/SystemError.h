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

// Failures the program finds itself, beside the errno values.
// A path that names something other than a regular file or a folder: a pipe,
// a device, a socket. Such a file is never read, since reading may wait for good.
inline constexpr int kNotRegularFile = 0x10001;
// A file whose size or modification time changed while it was read.
inline constexpr int kChangedWhileRead = 0x10002;
// A name Windows keeps for a device (CON, NUL, AUX, COM1 ...), with or without
// an extension: opened, it would reach the device instead of a file.
inline constexpr int kReservedDeviceName = 0x10003;
// A file name holding a line break, which a line of a list cannot carry.
inline constexpr int kNameHoldsLineBreak = 0x10004;
// A file name that is no UTF-8 (GBK bytes left by a zip unpacked from
// Windows, say): a manifest cannot spell it, so no client could fetch it.
inline constexpr int kNameNotUtf8 = 0x10005;
// A folder inside a folder that was imported: its files are not taken.
inline constexpr int kFolderPassedOver = 0x10006;
// An output file marked read-only, which Windows does not replace.
inline constexpr int kReadOnlyTarget = 0x10007;

// A failure the program names by its errno value or one of its own kinds.
SystemError ErrnoError(int kind);
// The failure of a std::filesystem call.
SystemError FileSystemError(const std::error_code& error);
// The English text of one of the program's own kinds; nullptr for any other.
const char* ProgramFailureMessage(int kind);
// The system's own message for it, UTF-8: strerror on POSIX, FormatMessageW
// on Windows (in the language of the system); English for the program's own kinds.
std::string SystemErrorMessage(const SystemError& error);

}  // namespace varo
