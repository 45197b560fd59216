#include <cerrno>

#include "platform/FileIo.h"

namespace varo {

std::optional<std::string> ReadWholeFile(const std::string& path, std::uint64_t limit) {
    InputFile file;
    int error = 0;
    if (!file.Open(path, error)) {
        errno = error;
        return std::nullopt;
    }
    if (file.Size() > limit) {
        errno = EFBIG;
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<std::size_t>(file.Size()));
    char buffer[65536];
    for (;;) {
        const std::int64_t count = file.Read(buffer, sizeof buffer, error);
        if (count < 0) {
            errno = error;
            return std::nullopt;
        }
        if (count == 0) {
            return content;
        }
        content.append(buffer, static_cast<std::size_t>(count));
        if (content.size() > limit) {  // it grew after it was opened
            errno = EFBIG;
            return std::nullopt;
        }
    }
}

}  // namespace varo
