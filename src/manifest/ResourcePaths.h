#pragma once

#include <string>
#include <vector>

#include "manifest/Manifest.h"

namespace varo {

struct ExpandedResourcePaths {
    bool ok = false;
    std::vector<std::string> files;
    std::string error;  // the folder that could not be listed, and why
};

// Paths as the resource dialog would give them: a folder stands for the
// regular files directly inside it that the mode offers, sorted by name;
// anything else stands for itself. varo-cli and a drop on the window use it.
ExpandedResourcePaths ExpandResourcePaths(const std::vector<std::string>& paths, ManifestMode mode);

}  // namespace varo
