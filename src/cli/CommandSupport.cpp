#include <cstdio>

#include "cli/Commands.h"
#include "platform/FileIo.h"

namespace varo::cli {

int Fail(std::string_view message) {
    std::fprintf(stderr, "varo-cli: %.*s\n", static_cast<int>(message.size()), message.data());
    return 1;
}

std::string OutputPath(const std::string& directory, const char* fileName) {
    std::string path = directory.empty() ? std::string(".") : directory;
    if (path.back() != '/') {
        path += '/';
    }
    return path + fileName;
}

int WriteOutput(const std::string& directory, const char* fileName, std::string_view bytes,
                std::size_t entries) {
    const std::string path = OutputPath(directory, fileName);
    const FileWriteResult result = WriteFileAtomically(path, bytes);
    if (!result.ok) {
        return Fail(path + ": cannot write: " + result.error);
    }
    std::printf("wrote %s (%zu %s)\n", path.c_str(), entries, entries == 1 ? "entry" : "entries");
    return 0;
}

}  // namespace varo::cli
