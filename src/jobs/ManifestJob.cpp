#include "jobs/ManifestJob.h"

#include <algorithm>
#include <cerrno>
#include <future>
#include <optional>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "jobs/ParallelEach.h"
#include "manifest/Manifest.h"
#include "manifest/PreviousRelease.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "text/GbkSearch.h"

namespace varo {
namespace {

std::size_t Entries(std::string_view listText) {
    return static_cast<std::size_t>(std::count(listText.begin(), listText.end(), '\n'));
}

// From this many lines of one folder on, listing the folder costs less than
// looking at each file.
constexpr std::size_t kLinesWorthAListing = 8;

// The states the folder listings give the files at `paths`, where they give
// them (Windows: one listing per folder instead of a file opened per line);
// nothing for the others, which are looked at one by one.
std::vector<std::optional<FileState>> ListedStates(const std::vector<std::string_view>& paths,
                                                   int threads) {
    std::vector<std::optional<FileState>> states(paths.size());
    if (!FolderListingGivesStates()) {
        return states;
    }
    std::unordered_map<std::string_view, std::vector<std::size_t>> byFolder;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string_view path = paths[i];
        byFolder[path.substr(0, path.size() - PathFileNameView(path).size())].push_back(i);
    }
    std::vector<const std::pair<const std::string_view, std::vector<std::size_t>>*> folders;
    for (const auto& folder : byFolder) {
        if (folder.second.size() >= kLinesWorthAListing) {
            folders.push_back(&folder);
        }
    }
    ParallelEach(folders.size(), threads, [&](std::size_t f) {
        const auto& [folder, files] = *folders[f];
        std::vector<FolderEntry> entries;
        SystemError error;
        if (!ListFolder(std::string(folder), entries, error)) {
            return;  // each file is looked at, and says why
        }
        std::unordered_map<std::string_view, const FolderEntry*> byName;
        for (const FolderEntry& entry : entries) {
            byName.emplace(entry.name, &entry);
        }
        for (const std::size_t i : files) {
            const auto found = byName.find(PathFileNameView(paths[i]));
            if (found != byName.end() && found->second->state) {
                states[i] = found->second->state;
            }
        }
    });
    return states;
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

std::future<PreviousRelease> ReadPreviousReleaseAhead(const std::string& directory) {
    const std::string path =
        PlannedOutput{directory, kStandaloneManifestFileName, {}, 0, {}}.Path();
    try {
        return std::async(std::launch::async, ReadPreviousRelease, path);
    } catch (const std::system_error&) {
        // No thread for it: read when it is asked for.
        return std::async(std::launch::deferred, ReadPreviousRelease, path);
    }
}

StandaloneManifestPlan PlanStandaloneManifest(std::string_view listText,
                                              const ManifestNaming& naming,
                                              std::string_view version,
                                              const std::string& directory,
                                              std::future<PreviousRelease> previous) {
    StandaloneManifestPlan plan;
    plan.output = {directory, kStandaloneManifestFileName, {}, Entries(listText), {}};
    const std::string previousPath = plan.output.Path();
    // The previous update.json (10 MB at 100,000 entries) is read while the
    // new one is built.
    if (!previous.valid()) {
        previous = ReadPreviousReleaseAhead(directory);
    }
    plan.output.bytes = BuildStandaloneManifest(
        BuildManifestBody(listText, naming.mode, naming.directory), version);
    plan.release = CheckRelease(previousPath, previous.get(), plan.output.bytes, version, naming);
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
    std::vector<std::string_view> paths;
    paths.reserve(lines.size());
    for (const Looked& line : lines) {
        paths.push_back(line.source->path);
    }
    const std::vector<std::optional<FileState>> listed = ListedStates(paths, threads);
    ParallelEach(lines.size(), threads, [&lines, &listed](std::size_t i) {
        Looked& line = lines[i];
        FileState now;
        if (listed[i]) {
            if (*listed[i] != line.source->state) {
                line.stale = StaleListLine::Kind::Changed;
            }
            return;
        }
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
