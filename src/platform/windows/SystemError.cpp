#include "platform/SystemError.h"

#include <windows.h>

#include <cstring>

#include "platform/windows/WindowsText.h"

namespace varo {

SystemError ErrnoError(int kind) {
    return {kind, 0};
}

SystemError FileSystemError(const std::error_code& error) {
    // libstdc++ reports Windows API failures in the system category, its own
    // checks in the generic one.
    if (error.category() == std::system_category()) {
        return windows::SystemErrorOf(static_cast<unsigned long>(error.value()));
    }
    return ErrnoError(error.value());
}

std::string SystemErrorMessage(const SystemError& error) {
    if (const char* own = ProgramFailureMessage(error.kind); own != nullptr && error.code == 0) {
        return own;
    }
    if (error.code == 0) {
        return std::strerror(error.kind);
    }
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error.code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) {
        return "Windows error " + std::to_string(error.code);
    }
    std::wstring text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return windows::Narrow(text);
}

}  // namespace varo
