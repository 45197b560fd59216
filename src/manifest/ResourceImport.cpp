#include "manifest/ResourceImport.h"

#include <unordered_map>

#include "manifest/Manifest.h"
#include "platform/Path.h"

namespace varo {

ResourceImportPlan PlanResourceImport(const std::vector<std::string>& paths) {
    ResourceImportPlan plan;
    plan.files.reserve(paths.size());
    std::unordered_map<std::string, std::size_t> fileOfName;  // the latest path of each name
    for (const std::string& path : paths) {
        std::string name = PathFileName(path);
        if (!ResourceListCanCarry(name)) {
            plan.refused.push_back({path, ErrnoError(kNameHoldsLineBreak)});
            continue;
        }
        const auto [at, added] = fileOfName.try_emplace(std::move(name), plan.files.size());
        if (!added) {
            const std::string& earlier = plan.files[at->second];
            if (earlier != path) {
                plan.sharedNames.push_back({at->first, earlier, path});
            }
            at->second = plan.files.size();
        }
        plan.files.push_back(path);
    }
    return plan;
}

ImportedResources ResourceListLines(const ResourceImportPlan& plan,
                                    const std::vector<FileDigest>& digests) {
    ImportedResources imported;
    for (std::size_t i = 0; i < plan.files.size() && i < digests.size(); ++i) {
        if (digests[i].ok) {
            imported.lines +=
                FormatResourceLine(PathFileName(plan.files[i]), digests[i].md5, digests[i].size);
        } else {
            imported.failed.push_back({plan.files[i], digests[i].error});
        }
    }
    return imported;
}

}  // namespace varo
