#include "manifest/ResourcePaths.h"

#include <algorithm>
#include <filesystem>

#include "platform/FileIo.h"

namespace varo {

ExpandedResourcePaths ExpandResourcePaths(const std::vector<std::string>& paths,
                                          ManifestMode mode) {
    ExpandedResourcePaths expanded;
    for (const std::string& path : paths) {
        std::error_code error;
        if (!std::filesystem::is_directory(FileSystemPath(path), error)) {
            expanded.files.push_back(path);
            continue;
        }
        std::vector<std::string> inside;
        for (const auto& entry : std::filesystem::directory_iterator(FileSystemPath(path), error)) {
            const std::string name = ProgramPath(entry.path().filename());
            if (entry.is_regular_file(error) && ModeOffersFile(mode, name)) {
                inside.push_back(ProgramPath(entry.path()));
            }
        }
        if (error) {
            expanded.error = path + ": cannot list: " + error.message();
            return expanded;
        }
        std::sort(inside.begin(), inside.end());
        expanded.files.insert(expanded.files.end(), inside.begin(), inside.end());
    }
    expanded.ok = true;
    return expanded;
}

}  // namespace varo
