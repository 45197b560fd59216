#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cache/DigestCache.h"
#include "checks/Findings.h"
#include "digest/FileDigest.h"
#include "manifest/ResourceImport.h"
#include "manifest/ResourcePaths.h"

namespace varo {

// An import is three steps both front ends take in this order:
// StartResourceImport, DigestResourceImport (the window runs it on a thread
// of its own), ConcludeResourceImport against the list as it stands then.

// The paths as the resource dialog would give them (a folder stands for the
// files in it the mode takes) and the plan of what is digested; the expanded
// files are moved into the plan.
struct ResourceImportStart {
    ExpandedResourcePaths expanded;  // a folder that failed, and entries that could not be examined
    ResourceImportPlan plan;         // the files to digest, and those refused by name
};
// The folders are listed on up to `threads` threads.
ResourceImportStart StartResourceImport(const std::vector<std::string>& paths, ManifestMode mode,
                                        int threads = 1);

// How the digests of an import are made: on `threads` cores, through the
// digest cache at `cachePath` (empty: none), stopped early by `cancel`.
struct ResourceDigestRun {
    int threads = 0;
    std::string cachePath;
    const std::atomic<bool>* cancel = nullptr;
    DigestProgress onProgress;
    CacheSave save = CacheSave::Wait;
};

// The digests of plan.files in their order (and what the cache did); the
// plan keeps its files.
CachedDigests DigestResourceImport(ResourceImportPlan& plan, const ResourceDigestRun& run);

// 导入资源文件 / the paths of `varo-cli manifest`, after the digest engine
// has digested the plan's files (PlanResourceImport, then
// DigestFilesWithCache): the list lines, and what to ask about or say.
struct ResourceImportOutcome {
    ImportedResources imported;         // the lines, and the files that failed
    std::optional<Finding> duplicates;  // a name given with other bytes: asked first
    // Names two files gave with the same bytes: listed once, a note.
    std::vector<ResourceImportPlan::SharedName> sameBytes;
};

// `listed` and `listedPath`: the window's list as it stands and the file each
// of its names came from (see CheckDuplicateNames); varo-cli has none.
ResourceImportOutcome ConcludeResourceImport(
    const ResourceImportPlan& plan, const std::vector<FileDigest>& digests,
    std::string_view listed = {},
    const std::function<std::string(std::string_view name)>& listedPath = {});

}  // namespace varo
