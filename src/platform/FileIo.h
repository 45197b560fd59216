#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Path.h"
#include "platform/SystemError.h"

namespace varo {

// Paths are UTF-8 on Windows and the file system's own bytes elsewhere.

// A regular file opened for reading from start to end.
class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False, with the reason in `error`, when the file cannot be opened or
    // is not a regular file (kind EISDIR for a directory).
    bool Open(const std::string& path, SystemError& error);
    // The length the file system gave when it was opened.
    std::uint64_t Size() const { return size_; }
    // Up to `size` bytes: their count, 0 at the end, -1 on failure (the
    // reason in `error`).
    std::int64_t Read(void* buffer, std::size_t size, SystemError& error);

  private:
    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
};

// A path of the program as std::filesystem takes it, and back.
std::filesystem::path FileSystemPath(const std::string& path);
std::string ProgramPath(const std::filesystem::path& path);

// The whole content of a file, or nothing when it cannot be read or holds
// more than `limit` bytes (kind EFBIG; such a file is not read). The reason
// goes to `error` when given, its kind to errno in any case.
std::optional<std::string> ReadWholeFile(const std::string& path, std::uint64_t limit = UINT64_MAX,
                                         SystemError* error = nullptr);

struct FileWriteResult {
    bool ok = false;
    SystemError error;  // why it failed
};

// Replaces the file at `path` with `bytes` as one step: the bytes go to a
// temporary file in the same directory, which is synced and renamed over the
// target. On failure the previous file is untouched and no temporary remains.
// A symbolic link stays a link: the file it leads to is replaced (created,
// when the link dangles). A hard link is replaced, not written through.
FileWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes);

// True when a new file can be made in `folder` (a probe file is written and
// removed again).
bool FolderTakesNewFiles(const std::string& folder);

// True when `path` is an existing file marked read-only: without write
// permission (POSIX), with the read-only attribute (Windows).
bool IsReadOnlyFile(const std::string& path);

}  // namespace varo
