#include "manifest/ResourceImport.h"

#include <unordered_map>

#include "manifest/Manifest.h"
#include "platform/Path.h"
#include "text/CodePage.h"

namespace varo {

ResourceImportPlan PlanResourceImport(std::vector<std::string> paths,
                                      std::vector<std::optional<FileState>> listed) {
    ResourceImportPlan plan;
    const bool withStates = listed.size() == paths.size();
    // Reserved once: the names below point into the paths where they stay.
    plan.files.reserve(paths.size());
    plan.lineOfFile.reserve(paths.size());
    // Per name: its line, and the latest file that gave it.
    std::unordered_map<std::string_view, std::pair<std::size_t, std::size_t>> byName;
    byName.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::string& path = paths[i];
        const std::string_view bare = PathFileNameView(path);
        if (!IsValidUtf8(bare)) {
            plan.refused.push_back({std::move(path), ErrnoError(kNameNotUtf8)});
            continue;
        }
        if (!ResourceListCanCarry(bare)) {
            plan.refused.push_back({std::move(path), ErrnoError(kNameHoldsLineBreak)});
            continue;
        }
        plan.files.push_back(std::move(path));
        if (withStates) {
            plan.listed.push_back(listed[i]);
        }
        const std::string& file = plan.files.back();
        const std::string_view name = PathFileNameView(file);
        const auto [at, added] = byName.try_emplace(name, plan.lines, plan.files.size() - 1);
        if (added) {
            ++plan.lines;
        } else {
            const std::string& earlier = plan.files[at->second.second];
            if (earlier != file) {
                plan.sharedNames.push_back(
                    {std::string(name), earlier, file, at->second.second, plan.files.size() - 1});
            }
            at->second.second = plan.files.size() - 1;
        }
        plan.lineOfFile.push_back(at->second.first);
    }
    return plan;
}

std::vector<std::size_t> FileOfEachLine(const ResourceImportPlan& plan,
                                        const std::vector<FileDigest>& digests) {
    // A later file replaces the earlier one's line in its place, as in the list.
    std::vector<std::size_t> fileOfLine(plan.lines, plan.files.size());
    for (std::size_t i = 0; i < plan.files.size() && i < digests.size(); ++i) {
        if (digests[i].ok) {
            fileOfLine[plan.lineOfFile[i]] = i;
        }
    }
    return fileOfLine;
}

bool SameBytes(const FileDigest& a, const FileDigest& b) {
    return a.ok && b.ok && a.md5 == b.md5 && a.size == b.size;
}

ImportedResources ResourceListLines(const ResourceImportPlan& plan,
                                    const std::vector<FileDigest>& digests) {
    ImportedResources imported;
    for (std::size_t i = 0; i < plan.files.size() && i < digests.size(); ++i) {
        if (!digests[i].ok) {
            imported.failed.push_back({plan.files[i], digests[i].error});
        }
    }
    for (const std::size_t i : FileOfEachLine(plan, digests)) {
        if (i < plan.files.size()) {
            imported.lines += FormatResourceLine(PathFileNameView(plan.files[i]), digests[i].md5,
                                                 digests[i].size);
            ++imported.lineCount;
        }
    }
    return imported;
}

}  // namespace varo
