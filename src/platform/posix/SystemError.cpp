#include "platform/SystemError.h"

#include <cstring>

namespace varo {

SystemError ErrnoError(int kind) {
    return {kind, static_cast<unsigned long>(kind)};
}

SystemError FileSystemError(const std::error_code& error) {
    return ErrnoError(error.value());
}

std::string SystemErrorMessage(const SystemError& error) {
    return std::strerror(error.kind);
}

}  // namespace varo
