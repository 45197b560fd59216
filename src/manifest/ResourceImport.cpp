#include "manifest/ResourceImport.h"

#include "manifest/Manifest.h"
#include "platform/Path.h"
#include "text/CodePage.h"
#include "text/NameIndex.h"

namespace varo {

ResourceImportPlan PlanResourceImport(std::vector<std::string> paths,
                                      std::vector<std::optional<FileState>> listed) {
    ResourceImportPlan plan;
    const bool withStates = listed.size() == paths.size();
    // Reserved once: the names below point into the paths where they stay.
    plan.files.reserve(paths.size());
    plan.lineOfFile.reserve(paths.size());
    // Per name the latest file that gave it (+1); its line is that file's.
    std::vector<std::string_view> names;  // of plan.files, which stay where they are
    names.reserve(paths.size());
    NameIndex latestOf(paths.size(), [&names](std::uint32_t file) { return names[file - 1]; });
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
        const std::size_t file = plan.files.size() - 1;
        const std::string_view name = names.emplace_back(PathFileNameView(plan.files[file]));
        std::uint32_t& latest = latestOf[name];
        if (latest == 0) {
            plan.lineOfFile.push_back(plan.lines++);
        } else {
            const std::string& earlier = plan.files[latest - 1];
            if (earlier != plan.files[file]) {
                plan.sharedNames.push_back(
                    {std::string(name), earlier, plan.files[file], latest - 1, file});
            }
            plan.lineOfFile.push_back(plan.lineOfFile[latest - 1]);
        }
        latest = static_cast<std::uint32_t>(file + 1);
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
    const std::vector<std::size_t> fileOfLine = FileOfEachLine(plan, digests);
    // Room for every line at once: a name, a digest, a size of up to 12 digits.
    std::size_t room = 0;
    for (const std::size_t i : fileOfLine) {
        room += i < plan.files.size() ? PathFileNameView(plan.files[i]).size() + 48 : 0;
    }
    imported.lines.reserve(room);
    for (const std::size_t i : fileOfLine) {
        if (i < plan.files.size()) {
            AppendResourceLine(imported.lines, PathFileNameView(plan.files[i]), digests[i].md5,
                               digests[i].size);
            ++imported.lineCount;
        }
    }
    return imported;
}

}  // namespace varo
