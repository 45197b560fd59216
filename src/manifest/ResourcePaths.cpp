#include "manifest/ResourcePaths.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "jobs/ParallelEach.h"
#include "platform/FileIo.h"

namespace varo {
namespace {

// What one folder given stands for: its files the mode takes, sorted by
// name, with the states the listing gave; what it passed over; or why it
// stands for nothing.
struct ExpandedFolder {
    ExpandedResourcePaths::Problem problem = ExpandedResourcePaths::Problem::None;
    SystemError error;
    std::vector<FolderEntry> entries;
    std::vector<FolderEntry*> files;
    std::vector<SkippedResource> skipped;
};

ExpandedFolder ExpandFolder(const std::string& folder, ManifestMode mode) {
    ExpandedFolder expanded;
    if (!ListFolder(folder, expanded.entries, expanded.error)) {
        expanded.problem = ExpandedResourcePaths::Problem::CannotList;
        return expanded;
    }
    // Each entry is examined on its own: one that cannot be (a link loop,
    // say) or that is no file (a pipe) is named and skipped, the others are
    // taken. Folders inside are not looked into.
    for (FolderEntry& entry : expanded.entries) {
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
                expanded.files.push_back(&entry);
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
    if (expanded.files.empty()) {
        expanded.problem = ExpandedResourcePaths::Problem::NoFiles;
        return expanded;
    }
    // What the folder passed over, in name order as its files.
    std::sort(expanded.skipped.begin(), expanded.skipped.end(),
              [](const SkippedResource& a, const SkippedResource& b) { return a.path < b.path; });
    std::sort(expanded.files.begin(), expanded.files.end(),
              [](const FolderEntry* a, const FolderEntry* b) { return a->name < b->name; });
    return expanded;
}

}  // namespace

ExpandedResourcePaths ExpandResourcePaths(const std::vector<std::string>& paths, ManifestMode mode,
                                          int threads) {
    // The folders are listed side by side; what they stand for is taken in
    // the order given, and the first that fails is the one named.
    std::vector<std::optional<ExpandedFolder>> folders(paths.size());
    std::vector<std::size_t> folderPaths;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (KindOfPath(paths[i]) == PathKind::Folder) {
            folderPaths.push_back(i);
        }
    }
    ParallelEach(folderPaths.size(), threads, [&](std::size_t f) {
        folders[folderPaths[f]] = ExpandFolder(paths[folderPaths[f]], mode);
    });

    ExpandedResourcePaths expanded;
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
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!folders[i]) {
            take(paths[i], std::nullopt);  // looked up by name, as given
            continue;
        }
        ExpandedFolder& folder = *folders[i];
        if (folder.problem != ExpandedResourcePaths::Problem::None) {
            ExpandedResourcePaths failed;
            failed.problem = folder.problem;
            failed.folder = paths[i];
            failed.error = folder.error;
            failed.skipped = std::move(expanded.skipped);
            failed.skipped.insert(failed.skipped.end(), folder.skipped.begin(),
                                  folder.skipped.end());
            return failed;
        }
        expanded.skipped.insert(expanded.skipped.end(),
                                std::make_move_iterator(folder.skipped.begin()),
                                std::make_move_iterator(folder.skipped.end()));
        for (FolderEntry* entry : folder.files) {
            take(std::move(entry->path), entry->state);
        }
    }
    return expanded;
}

}  // namespace varo
