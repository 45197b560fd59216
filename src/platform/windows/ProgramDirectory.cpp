#include "platform/ProgramDirectory.h"

#include <windows.h>

#include <string>

#include "platform/windows/WindowsText.h"

namespace varo {

std::string ProgramDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return ".";
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::string(".")
                                           : windows::Narrow(path.substr(0, separator));
}

}  // namespace varo
