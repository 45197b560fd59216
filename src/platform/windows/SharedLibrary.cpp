#include "platform/SharedLibrary.h"

#include <windows.h>

#include "platform/ProgramDirectory.h"
#include "platform/windows/WindowsText.h"

namespace varo {

const char* const kSqliteLibraryFileName = "sqlite3.dll";

void* SharedLibrary::Load() {
    std::lock_guard lock(mutex_);
    // The program directory first, then the system's directories; never the
    // current directory, where anybody's sqlite3.dll may lie.
    if (handle_ == nullptr) {
        handle_ = LoadLibraryExW(windows::WidePath(ProgramFilePath(fileName_)).c_str(), nullptr,
                                 LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (handle_ == nullptr) {
        handle_ = LoadLibraryExW(windows::Widen(fileName_).c_str(), nullptr,
                                 LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    }
    return handle_;
}

void* SharedLibrary::TrySymbol(const char* name) {
    void* handle = Load();
    return handle != nullptr
               ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name))
               : nullptr;
}

}  // namespace varo
