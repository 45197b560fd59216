#include "jobs/ResourceImportJob.h"

#include <utility>

namespace varo {

ResourceImportStart StartResourceImport(const std::vector<std::string>& paths, ManifestMode mode,
                                        int threads) {
    ResourceImportStart start;
    start.expanded = ExpandResourcePaths(paths, mode, threads);
    // Names a line of the list cannot carry are passed over before digesting.
    start.plan =
        PlanResourceImport(std::move(start.expanded.files), std::move(start.expanded.listed));
    start.expanded.files.clear();
    start.expanded.listed.clear();
    return start;
}

CachedDigests DigestResourceImport(ResourceImportPlan& plan, const ResourceDigestRun& run) {
    DigestJob job;
    job.paths = std::move(plan.files);
    job.listed = std::move(plan.listed);
    job.threads = run.threads;
    job.cancel = run.cancel;
    job.onProgress = run.onProgress;
    // The plan has its files back whatever happens.
    struct GiveBack {
        ResourceImportPlan& plan;
        DigestJob& job;
        ~GiveBack() {
            plan.files = std::move(job.paths);
            plan.listed = std::move(job.listed);
        }
    } giveBack{plan, job};
    return DigestFilesWithCache(job, run.cachePath, run.save);
}

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
