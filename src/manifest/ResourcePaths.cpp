#include "manifest/ResourcePaths.h"

#include <algorithm>
#include <filesystem>

#include "platform/FileIo.h"

namespace varo {

ExpandedResourcePaths ExpandResourcePaths(const std::vector<std::string>& paths,
                                          ManifestMode mode) {
    namespace fs = std::filesystem;
    ExpandedResourcePaths expanded;
    const auto fail = [&](ExpandedResourcePaths::Problem problem, const std::string& folder,
                          const std::error_code& error) {
        expanded.problem = problem;
        expanded.folder = folder;
        expanded.errorCode = error.value();
        expanded.files.clear();
        return expanded;
    };
    for (const std::string& path : paths) {
        std::error_code error;
        if (!fs::is_directory(FileSystemPath(path), error)) {
            expanded.files.push_back(path);
            continue;
        }
        // Each entry is examined on its own: one that cannot be (a link
        // loop, say) is named and skipped, the others are taken.
        std::vector<std::string> inside;
        fs::directory_iterator entry(FileSystemPath(path), error);
        for (const fs::directory_iterator end; !error && entry != end; entry.increment(error)) {
            if (!ModeOffersFile(mode, ProgramPath(entry->path().filename()))) {
                continue;
            }
            std::error_code entryError;
            const bool regular = entry->is_regular_file(entryError);
            if (entryError) {
                expanded.skipped.push_back({ProgramPath(entry->path()), entryError.value()});
            } else if (regular) {
                inside.push_back(ProgramPath(entry->path()));
            }
        }
        if (error) {
            return fail(ExpandedResourcePaths::Problem::CannotList, path, error);
        }
        if (inside.empty()) {
            return fail(ExpandedResourcePaths::Problem::NoFiles, path, {});
        }
        std::sort(inside.begin(), inside.end());
        expanded.files.insert(expanded.files.end(), inside.begin(), inside.end());
    }
    return expanded;
}

}  // namespace varo
