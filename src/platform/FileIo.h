#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varo {

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

struct FileWriteResult {
    bool ok = false;
    std::string error;  // the reason of a failure, from the C library
    int errorCode = 0;  // the errno value of a failure
};

// Replaces the file at `path` with `bytes` as one step: the bytes go to a
// temporary file in the same directory, which is synced and renamed over the
// target. On failure the previous file is untouched and no temporary remains.
// A symbolic link stays a link: the file it leads to is replaced (created,
// when the link dangles). A hard link is replaced, not written through.
FileWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace varo
