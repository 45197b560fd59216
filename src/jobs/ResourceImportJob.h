#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checks/Findings.h"
#include "digest/FileDigest.h"
#include "manifest/ResourceImport.h"

namespace varo {

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
