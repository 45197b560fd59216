#include "jobs/ResourceImportJob.h"

namespace varo {

ResourceImportOutcome ConcludeResourceImport(
    const ResourceImportPlan& plan, const std::vector<FileDigest>& digests, std::string_view listed,
    const std::function<std::string(std::string_view name)>& listedPath) {
    ResourceImportOutcome outcome;
    outcome.imported = ResourceListLines(plan, digests);
    outcome.duplicates = CheckDuplicateNames(plan, digests, listed, listedPath);
    for (const ResourceImportPlan::SharedName& shared : plan.sharedNames) {
        if (SameBytes(digests[shared.earlierFile], digests[shared.laterFile])) {
            outcome.sameBytes.push_back(shared);
        }
    }
    return outcome;
}

}  // namespace varo
