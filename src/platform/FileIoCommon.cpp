#include <cerrno>
#include <filesystem>

#include "platform/FileIo.h"

namespace varo {

std::optional<std::string> ReadWholeFile(const std::string& path, std::uint64_t limit,
                                         SystemError* error) {
    const auto fail = [error](const SystemError& reason) -> std::optional<std::string> {
        if (error != nullptr) {
            *error = reason;
        }
        errno = reason.kind;
        return std::nullopt;
    };
    InputFile file;
    SystemError reason;
    if (!file.Open(path, reason)) {
        return fail(reason);
    }
    if (file.Size() > limit) {
        return fail(ErrnoError(EFBIG));
    }
    std::string content;
    content.reserve(static_cast<std::size_t>(file.Size()));
    char buffer[65536];
    for (;;) {
        const std::int64_t count = file.Read(buffer, sizeof buffer, reason);
        if (count < 0) {
            return fail(reason);
        }
        if (count == 0) {
            // The whole file as opened, and still the file at `path`.
            if (content.size() != file.Size() || !file.Unchanged(path, reason)) {
                return fail(ErrnoError(kChangedWhileRead));
            }
            return content;
        }
        content.append(buffer, static_cast<std::size_t>(count));
        if (content.size() > limit) {  // it grew after it was opened
            return fail(ErrnoError(EFBIG));
        }
    }
}

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t bytes) {
    InputFile file;
    SystemError error;
    if (!file.Open(path, error)) {
        return std::nullopt;
    }
    std::string start(bytes, '\0');
    std::size_t total = 0;
    while (total < bytes) {
        const std::int64_t count = file.Read(start.data() + total, bytes - total, error);
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            break;
        }
        total += static_cast<std::size_t>(count);
    }
    start.resize(total);
    return start;
}

// The bytes as the one piece of a written file.
FileWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
    return WriteFileAtomically(path, [bytes](const WriteChunk& write) {
        write(bytes);
        return SystemError();
    });
}

bool FolderTakesNewFiles(const std::string& folder) {
    const std::string probe = JoinPath(folder, ".varo-toolkit.probe");
    if (!WriteFileAtomically(probe, std::string_view()).ok) {
        return false;
    }
    std::error_code ignored;
    std::filesystem::remove(FileSystemPath(probe), ignored);
    return true;
}

}  // namespace varo
