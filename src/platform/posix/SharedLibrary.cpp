#include "platform/SharedLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <vector>

#include "platform/FatalError.h"
#include "platform/ProgramDirectory.h"

namespace varo {

const char* const kSqliteLibraryFileName = "libsqlite3.so.0";

SharedLibrary::SharedLibrary(std::string fileName) : fileName_(std::move(fileName)) {}

SharedLibrary::~SharedLibrary() = default;  // left loaded: its functions may still be referenced

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

bool SharedLibrary::IsLoaded() const {
    std::lock_guard lock(mutex_);
    return handle_ != nullptr;
}

void* SharedLibrary::TrySymbol(const char* name) {
    void* handle = Load();
    return handle != nullptr ? dlsym(handle, name) : nullptr;
}

void* SharedLibrary::Symbol(const char* name) {
    void* address = TrySymbol(name);
    if (address == nullptr) {
        const char* format = "无法找到指定DLL库文件“%s”中的输出命令“%s”";
        std::vector<char> message(fileName_.size() + std::char_traits<char>::length(name) + 128);
        std::snprintf(message.data(), message.size(), format, fileName_.c_str(), name);
        FatalError(message.data());
    }
    return address;
}

}  // namespace varo
