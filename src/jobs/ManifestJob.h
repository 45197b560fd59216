#pragma once

#include <string>
#include <string_view>

#include "jobs/Output.h"

namespace varo {

// 生成单json文件 / `varo-cli manifest --single`: 单json文件.json from the
// resource list's text (its lines, as the window's list holds them).
PlannedOutput PlanSingleManifest(std::string_view listText, const ManifestNaming& naming,
                                 const std::string& directory);

// 生成独立json文件 / `varo-cli manifest`: update.json, compared with the one
// in `directory`; the release check's findings are moved into the output's.
struct StandaloneManifestPlan {
    PlannedOutput output;
    ReleaseCheckResult release;
};
StandaloneManifestPlan PlanStandaloneManifest(std::string_view listText,
                                              const ManifestNaming& naming,
                                              std::string_view version,
                                              const std::string& directory);

// `--version next`: the version after that of the update.json in
// `directory`, its last number raised by one.
struct NextRelease {
    enum class Problem {
        None,
        NoPrevious,  // no update.json there
        Unreadable,  // one that cannot be read or is no manifest
        NotNumbers,  // its version is not dotted decimal numbers
    };
    Problem problem = Problem::None;
    std::string previousPath;
    std::string previousVersion;
    std::string version;  // when there is no problem
};
NextRelease NextReleaseVersion(const std::string& directory);

}  // namespace varo
