#include "manifest/ResourcePaths.h"

#include <algorithm>

#include "platform/FileIo.h"

namespace varo {

ExpandedResourcePaths ExpandResourcePaths(const std::vector<std::string>& paths,
                                          ManifestMode mode) {
    ExpandedResourcePaths expanded;
    const auto fail = [&](ExpandedResourcePaths::Problem problem, const std::string& folder,
                          const SystemError& error) {
        expanded.problem = problem;
        expanded.folder = folder;
        expanded.error = error;
        expanded.files.clear();
        expanded.listed.clear();
        return expanded;
    };
    // A file, with the state its listing gave: `listed` stays empty until one comes.
    const auto take = [&expanded](std::string path, const std::optional<FileState>& state) {
        if (state && expanded.listed.empty()) {
            expanded.listed.resize(expanded.files.size());
        }
        expanded.files.push_back(std::move(path));
        if (!expanded.listed.empty()) {
            expanded.listed.push_back(state);
        }
    };
    for (const std::string& path : paths) {
        if (KindOfPath(path) != PathKind::Folder) {
            take(path, std::nullopt);  // looked up by name, as given
            continue;
        }
        std::vector<FolderEntry> entries;
        SystemError error;
        if (!ListFolder(path, entries, error)) {
            return fail(ExpandedResourcePaths::Problem::CannotList, path, error);
        }
        // Each entry is examined on its own: one that cannot be (a link
        // loop, say) or that is no file (a pipe) is named and skipped, the
        // others are taken. Folders inside are not looked into.
        std::vector<FolderEntry*> inside;
        const std::size_t skippedBefore = expanded.skipped.size();
        for (FolderEntry& entry : entries) {
            // A folder inside is named, whatever its name: its files are not taken.
            if (entry.kind == FolderEntry::Kind::Folder) {
                expanded.skipped.push_back({entry.path, ErrnoError(kFolderPassedOver)});
                continue;
            }
            if (!ModeOffersFile(mode, entry.name)) {
                continue;
            }
            switch (entry.kind) {
                case FolderEntry::Kind::File:
                    inside.push_back(&entry);
                    break;
                case FolderEntry::Kind::Folder:
                    break;
                case FolderEntry::Kind::Other:
                    expanded.skipped.push_back({entry.path, ErrnoError(kNotRegularFile)});
                    break;
                case FolderEntry::Kind::Unknown:
                    expanded.skipped.push_back({entry.path, entry.error});
                    break;
            }
        }
        if (inside.empty()) {
            return fail(ExpandedResourcePaths::Problem::NoFiles, path, {});
        }
        // What this folder passed over, in name order as its files.
        std::sort(expanded.skipped.begin() + static_cast<std::ptrdiff_t>(skippedBefore),
                  expanded.skipped.end(), [](const SkippedResource& a, const SkippedResource& b) {
                      return a.path < b.path;
                  });
        std::sort(inside.begin(), inside.end(),
                  [](const FolderEntry* a, const FolderEntry* b) { return a->name < b->name; });
        for (FolderEntry* entry : inside) {
            take(std::move(entry->path), entry->state);
        }
    }
    return expanded;
}

}  // namespace varo
