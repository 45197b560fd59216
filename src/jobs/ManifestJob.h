#pragma once

#include <future>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/Output.h"
#include "manifest/PreviousRelease.h"
#include "manifest/ResourceList.h"
#include "platform/SystemError.h"

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
// `previous`: the update.json of `directory` as ReadPreviousReleaseAhead
// reads it, when the caller started that earlier; otherwise it is read here,
// beside the new one's building.
StandaloneManifestPlan PlanStandaloneManifest(std::string_view listText,
                                              const ManifestNaming& naming,
                                              std::string_view version,
                                              const std::string& directory,
                                              std::future<PreviousRelease> previous = {});

// The update.json of `directory` (see ReadPreviousRelease), read on a
// thread of its own while the caller goes on; the 10 MB of a large release
// are then read beside other work.
std::future<PreviousRelease> ReadPreviousReleaseAhead(const std::string& directory);

// A line of the window's list whose file is no longer the one it digested:
// a manifest written from the list would promise bytes nobody has.
struct StaleListLine {
    enum class Kind {
        Gone,        // no file there any more: deleted, or a folder in its place
        Changed,     // another size or time, or another file under the path
        Unreadable,  // cannot be looked at (`error` says why)
    };
    std::string name;
    std::string path;
    Kind kind = Kind::Changed;
    SystemError error;
};
// The lines, in the list's order, whose file is gone, or differs from the
// state it was digested in (size, times, or another file under the path);
// lines of unknown source are not looked at. Looks at `threads` files at a time.
std::vector<StaleListLine> StaleListLines(const ResourceList& list, int threads);

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
