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

bool FolderTakesNewFiles(const std::string& folder) {
    const std::string probe = JoinPath(folder, ".varo-toolkit.probe");
    if (!WriteFileAtomically(probe, {}).ok) {
        return false;
    }
    std::error_code ignored;
    std::filesystem::remove(FileSystemPath(probe), ignored);
    return true;
}

}  // namespace varo
