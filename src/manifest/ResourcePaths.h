#pragma once

#include <optional>
#include <string>
#include <vector>

#include "manifest/Manifest.h"
#include "platform/FileIo.h"
#include "platform/SystemError.h"

namespace varo {

// An entry of a folder that the mode would take by its name but that could
// not be examined (a link loop, a dangling link, no permission).
struct SkippedResource {
    std::string path;
    SystemError error;
};

struct ExpandedResourcePaths {
    enum class Problem {
        None,
        CannotList,  // `folder` could not be listed: error
        NoFiles,     // `folder` holds no file the mode takes
    };
    Problem problem = Problem::None;
    std::string folder;
    SystemError error;
    std::vector<std::string> files;
    // Each file's state as its folder's listing gave it, where it gave one
    // (see ListFolder): empty when none did, otherwise one per file.
    std::vector<std::optional<FileState>> listed;
    std::vector<SkippedResource> skipped;

    bool ok() const { return problem == Problem::None; }
};

// Paths as the resource dialog would give them: a folder stands for the
// regular files directly inside it that the mode offers, sorted by name;
// anything else stands for itself. Entries that cannot be examined are
// skipped and named; a folder that cannot be listed or yields no file is a
// problem. varo-cli and a drop on the window use it. The folders are listed
// on up to `threads` threads at once.
ExpandedResourcePaths ExpandResourcePaths(const std::vector<std::string>& paths, ManifestMode mode,
                                          int threads = 1);

}  // namespace varo
