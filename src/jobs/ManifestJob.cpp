#include "jobs/ManifestJob.h"

#include <algorithm>
#include <utility>

namespace varo {
namespace {

std::size_t Entries(std::string_view listText) {
    return static_cast<std::size_t>(std::count(listText.begin(), listText.end(), '\n'));
}

}  // namespace

PlannedOutput PlanSingleManifest(std::string_view listText, const ManifestNaming& naming,
                                 const std::string& directory) {
    PlannedOutput output{directory,
                         kSingleManifestFileName,
                         BuildManifestBody(listText, naming.mode, naming.directory),
                         Entries(listText),
                         {}};
    output.findings = CheckSingleManifest(output.bytes, output.Path(), naming);
    return output;
}

StandaloneManifestPlan PlanStandaloneManifest(std::string_view listText,
                                              const ManifestNaming& naming,
                                              std::string_view version,
                                              const std::string& directory) {
    StandaloneManifestPlan plan;
    plan.output = {directory,
                   kStandaloneManifestFileName,
                   BuildStandaloneManifest(
                       BuildManifestBody(listText, naming.mode, naming.directory), version),
                   Entries(listText),
                   {}};
    plan.release = CheckRelease(plan.output.Path(), plan.output.bytes, version, naming);
    plan.output.findings = std::move(plan.release.findings);
    return plan;
}

NextRelease NextReleaseVersion(const std::string& directory) {
    NextRelease next;
    next.previousPath = PlannedOutput{directory, kStandaloneManifestFileName, {}, 0, {}}.Path();
    const PreviousRelease previous = ReadPreviousRelease(next.previousPath);
    if (previous.state != PreviousRelease::State::Present) {
        next.problem = previous.state == PreviousRelease::State::Absent
                           ? NextRelease::Problem::NoPrevious
                           : NextRelease::Problem::Unreadable;
        return next;
    }
    next.previousVersion = previous.manifest.version;
    const std::optional<std::string> version = NextVersion(next.previousVersion);
    if (!version) {
        next.problem = NextRelease::Problem::NotNumbers;
        return next;
    }
    next.version = *version;
    return next;
}

}  // namespace varo
