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
        expanded.error = error ? FileSystemError(error) : SystemError{};
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
            const std::string name = ProgramPath(entry->path().filename());
            if (!ModeOffersFile(mode, name)) {
                continue;
            }
            // The folder as given and the name: the path as the user wrote it.
            std::error_code entryError;
            const bool regular = entry->is_regular_file(entryError);
            if (entryError) {
                expanded.skipped.push_back({JoinPath(path, name), FileSystemError(entryError)});
            } else if (regular) {
                inside.push_back(JoinPath(path, name));
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
