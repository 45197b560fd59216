#include "platform/SystemError.h"

#include <cstring>

namespace varo {

SystemError ErrnoError(int kind) {
    // The program's own kinds are no errno value: no code of the system's.
    const bool own = ProgramFailureMessage(kind) != nullptr;
    return {kind, own ? 0ul : static_cast<unsigned long>(kind)};
}

SystemError FileSystemError(const std::error_code& error) {
    return ErrnoError(error.value());
}

std::string SystemErrorMessage(const SystemError& error) {
    if (const char* own = ProgramFailureMessage(error.kind)) {
        return own;
    }
    return std::strerror(error.kind);
}

}  // namespace varo
