#include "jobs/ManifestJob.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "jobs/ParallelEach.h"
#include "manifest/Manifest.h"
#include "text/GbkSearch.h"

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

std::vector<StaleListLine> StaleListLines(const ResourceList& list, int threads) {
    struct Looked {
        std::string_view name;
        const ResourceList::Source* source = nullptr;
        std::optional<StaleListLine::Kind> stale;
        SystemError error;
    };
    std::vector<Looked> lines;
    for (const std::string_view line : SplitLines(list.Text())) {
        const std::string_view name = ParseResourceLine(line).name;
        if (const ResourceList::Source* source = list.FindSource(name)) {
            lines.push_back({name, source, std::nullopt, {}});
        }
    }
    ParallelEach(lines.size(), threads, [&lines](std::size_t i) {
        Looked& line = lines[i];
        FileState now;
        if (StatFile(line.source->path, now, line.error)) {
            if (now != line.source->state) {
                line.stale = StaleListLine::Kind::Changed;
            }
            return;
        }
        const int kind = line.error.kind;
        const bool gone = kind == ENOENT || kind == ENOTDIR || kind == EISDIR ||
                          kind == kNotRegularFile || kind == kReservedDeviceName;
        line.stale = gone ? StaleListLine::Kind::Gone : StaleListLine::Kind::Unreadable;
    });
    std::vector<StaleListLine> stale;
    for (Looked& line : lines) {
        if (line.stale) {
            stale.push_back({std::string(line.name), line.source->path, *line.stale, line.error});
        }
    }
    return stale;
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
