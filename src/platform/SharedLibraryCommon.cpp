#include <cstdio>
#include <vector>

#include "platform/FatalError.h"
#include "platform/SharedLibrary.h"

namespace varo {

SharedLibrary::SharedLibrary(std::string fileName) : fileName_(std::move(fileName)) {}

SharedLibrary::~SharedLibrary() = default;  // left loaded: its functions may still be referenced

bool SharedLibrary::IsLoaded() const {
    std::lock_guard lock(mutex_);
    return handle_ != nullptr;
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
