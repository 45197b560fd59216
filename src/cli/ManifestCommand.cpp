#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "checks/Findings.h"
#include "cli/Commands.h"
#include "manifest/FileDigest.h"
#include "manifest/Manifest.h"
#include "manifest/ReleaseCheck.h"
#include "manifest/ResourceImport.h"
#include "manifest/ResourcePaths.h"
#include "platform/Console.h"
#include "platform/Path.h"

namespace varo::cli {
namespace {

ManifestMode ModeNamed(const std::string& name) {
    return name == "hot"      ? ManifestMode::HotUpdate
           : name == "custom" ? ManifestMode::CustomDirectory
                              : ManifestMode::MicroClient;
}

std::string Mebibytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    return text;
}

// A progress line on stderr, redrawn a few times a second until stopped.
class ProgressBar {
  public:
    ProgressBar() : thread_([this] { Run(); }) {}
    ~ProgressBar() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
        thread_.join();
        Draw();
        WriteStandardError("\n");
    }
    // From the digest threads: the engine keeps `done` within `total`.
    void Set(std::uint64_t done, std::uint64_t total) {
        total_ = total;
        done_ = done;
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stopped_; })) {
            Draw();
        }
    }
    void Draw() {
        const double total = static_cast<double>(total_.load());
        const double done = std::min(static_cast<double>(done_.load()), total);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        const double fraction = total > 0 ? done / total : 1.0;
        const int filled = std::clamp(static_cast<int>(fraction * kWidth), 0, kWidth);
        const double left = rate > 0 ? (total - done) / rate : 0;
        char line[160];
        std::snprintf(line, sizeof line, "\r[%s%s] %s / %s  %s/s  %ds left   ",
                      std::string(static_cast<std::size_t>(filled), '#').c_str(),
                      std::string(static_cast<std::size_t>(kWidth - filled), '.').c_str(),
                      Mebibytes(done).c_str(), Mebibytes(total).c_str(), Mebibytes(rate).c_str(),
                      static_cast<int>(left + 0.5));
        WriteStandardError(line);
    }

    static constexpr int kWidth = 30;
    std::atomic<std::uint64_t> total_{0};
    std::atomic<std::uint64_t> done_{0};
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread thread_;
};

// Says on stderr how the new update.json differs from the one it replaces.
void ReportRelease(const ReleaseCheckResult& check) {
    if (!check.change) {
        return;
    }
    const ReleaseComparison& change = *check.change;
    Note("against the previous update.json (version " + ShownUtf8(check.previous.manifest.version) +
         "): " + std::to_string(change.added) + " added, " + std::to_string(change.changed) +
         " changed, " + std::to_string(change.removed) + " removed; a client downloads " +
         Counted(change.downloadBytes, "byte"));
}

}  // namespace

// As importing the files in this order in this mode, then a manifest writer.
int RunManifest(const ManifestOptions& options) {
    const ManifestMode mode = ModeNamed(options.mode);
    const ExpandedResourcePaths expanded = ExpandResourcePaths(options.paths, mode);
    for (const SkippedResource& skipped : expanded.skipped) {
        Note(Shown(skipped.path) + ": skipped: " + SystemErrorMessage(skipped.error));
    }
    switch (expanded.problem) {
        case ExpandedResourcePaths::Problem::None:
            break;
        case ExpandedResourcePaths::Problem::CannotList:
            return Fail(Shown(expanded.folder) +
                        ": cannot list: " + SystemErrorMessage(expanded.error));
        case ExpandedResourcePaths::Problem::NoFiles:
            return Fail(Shown(expanded.folder) + ": holds no file that the " + options.mode +
                        " mode takes; nothing was written");
    }
    const ResourceImportPlan plan = PlanResourceImport(expanded.files);
    if (!plan.refused.empty()) {
        for (const SkippedResource& refused : plan.refused) {
            Note(Shown(refused.path) + ": " + SystemErrorMessage(refused.error));
        }
        return Fail("nothing was written");
    }
    for (const ResourceImportPlan::SharedName& shared : plan.sharedNames) {
        Note("warning: " + Shown(shared.earlier) + " and " + Shown(shared.later) +
             " give the same entry name " + Shown(shared.name) + "; the manifest lists the latter");
    }

    DigestJob job{plan.files, options.jobs, nullptr, {}};
    std::vector<FileDigest> digests;
    if (!options.quiet && StandardErrorIsTerminal()) {
        ProgressBar progress;
        job.onProgress = [&](std::uint64_t done, std::uint64_t total) {
            progress.Set(done, total);
        };
        digests = DigestFiles(job);
    } else {
        digests = DigestFiles(job);
    }

    const ImportedResources imported = ResourceListLines(plan, digests);
    if (!imported.failed.empty()) {
        for (const SkippedResource& failed : imported.failed) {
            Note(Shown(failed.path) + ": cannot read: " + SystemErrorMessage(failed.error));
        }
        return Fail("nothing was written");
    }
    // One entry per name, as in the window: a later file of the same name wins.
    const std::string list = MergeResourceLines({}, imported.lines);
    const auto entries = static_cast<std::size_t>(std::count(list.begin(), list.end(), '\n'));
    const std::string body = BuildManifestBody(list, mode, options.directory);
    if (options.single) {
        if (!AllowFindings(CheckSingleManifest(
                               body, OutputPath(options.outputDirectory, kSingleManifestFileName)),
                           options.force)) {
            return 1;
        }
        return WriteOutput(options.outputDirectory, kSingleManifestFileName, body, entries);
    }
    const std::string manifest = BuildStandaloneManifest(body, options.version);
    const ReleaseCheckResult check =
        CheckRelease(OutputPath(options.outputDirectory, kStandaloneManifestFileName), manifest);
    ReportRelease(check);
    if (!AllowFindings(check.findings, options.force)) {
        return 1;
    }
    return WriteOutput(options.outputDirectory, kStandaloneManifestFileName, manifest, entries);
}

}  // namespace varo::cli
