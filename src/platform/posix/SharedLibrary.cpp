#include "platform/SharedLibrary.h"

#include <dlfcn.h>

#include "platform/ProgramDirectory.h"

namespace varo {

const char* const kSqliteLibraryFileName = "libsqlite3.so.0";

void* SharedLibrary::Load() {
    std::lock_guard lock(mutex_);
    if (handle_ == nullptr) {
        handle_ = dlopen(ProgramFilePath(fileName_).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (handle_ == nullptr) {
        handle_ = dlopen(fileName_.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return handle_;
}

void* SharedLibrary::TrySymbol(const char* name) {
    void* handle = Load();
    return handle != nullptr ? dlsym(handle, name) : nullptr;
}

}  // namespace varo
