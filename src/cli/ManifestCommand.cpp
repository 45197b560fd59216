#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include "cli/Commands.h"
#include "manifest/FileDigest.h"
#include "manifest/Manifest.h"
#include "manifest/ReleaseCheck.h"
#include "manifest/ResourcePaths.h"
#include "platform/Console.h"
#include "platform/FileIo.h"

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
    explicit ProgressBar(std::uint64_t total) : total_(total), thread_([this] { Run(); }) {}
    ~ProgressBar() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
        thread_.join();
        Draw();
        std::fputc('\n', stderr);
    }
    void Add(std::uint64_t bytes) { done_ += bytes; }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stopped_; })) {
            Draw();
        }
    }
    void Draw() {
        const double done = static_cast<double>(done_.load());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        const double fraction = total_ > 0 ? done / static_cast<double>(total_) : 1.0;
        const int filled = static_cast<int>(fraction * 30);
        const double left = rate > 0 ? (static_cast<double>(total_) - done) / rate : 0;
        std::fprintf(stderr, "\r[%s%s] %s / %s  %s/s  %ds left   ",
                     std::string(filled, '#').c_str(), std::string(30 - filled, '.').c_str(),
                     Mebibytes(done).c_str(), Mebibytes(static_cast<double>(total_)).c_str(),
                     Mebibytes(rate).c_str(), static_cast<int>(left + 0.5));
        std::fflush(stderr);
    }

    std::uint64_t total_;
    std::atomic<std::uint64_t> done_{0};
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread thread_;
};

// Compares the new update.json with the one in the output directory and says
// how they differ on stderr. False when the version should have been raised
// and `requireNewVersion` forbids writing.
bool CheckRelease(const std::string& path, const std::string& manifest, bool requireNewVersion) {
    const PreviousRelease previous = ReadPreviousRelease(path);
    if (previous.state == PreviousRelease::State::Absent) {
        return true;
    }
    if (previous.state == PreviousRelease::State::Unusable) {
        std::fprintf(stderr, "varo-cli: %s: not a readable manifest (%s); not compared\n",
                     path.c_str(), previous.error.c_str());
        return true;
    }
    const ReleaseComparison change =
        CompareReleases(previous.manifest, ParseStandaloneManifest(manifest));
    std::fprintf(stderr,
                 "varo-cli: against the previous update.json (version %s): %zu added, %zu "
                 "changed, %zu removed; a client downloads %llu byte%s\n",
                 previous.manifest.version.c_str(), change.added, change.changed, change.removed,
                 static_cast<unsigned long long>(change.downloadBytes),
                 change.downloadBytes == 1 ? "" : "s");
    if (!change.NeedsNewVersion()) {
        return true;
    }
    std::fprintf(
        stderr, "varo-cli: the version is not greater than %s although entries changed%s\n",
        previous.manifest.version.c_str(), requireNewVersion ? "; nothing was written" : "");
    return !requireNewVersion;
}

}  // namespace

// As importing the files in this order in this mode, then a manifest writer.
int RunManifest(const ManifestOptions& options) {
    const ManifestMode mode = ModeNamed(options.mode);
    ExpandedResourcePaths expanded = ExpandResourcePaths(options.paths, mode);
    if (!expanded.ok) {
        return Fail(expanded.error);
    }
    const std::vector<std::string>& files = expanded.files;
    std::uint64_t total = 0;
    for (const std::string& file : files) {
        if (!ResourceListCanCarry(BareFileName(file))) {
            return Fail(file + ": a file name with a line break cannot be listed");
        }
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(FileSystemPath(file), error);
        total += error ? 0 : static_cast<std::uint64_t>(size);
    }

    std::vector<FileDigest> digests;
    if (!options.quiet && StandardErrorIsTerminal()) {
        ProgressBar progress(total);
        digests =
            DigestFiles(files, options.jobs, [&](std::uint64_t bytes) { progress.Add(bytes); });
    } else {
        digests = DigestFiles(files, options.jobs);
    }

    std::string list;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!digests[i].ok) {
            return Fail(files[i] + ": cannot read: " + digests[i].error);
        }
        list += FormatResourceLine(BareFileName(files[i]), digests[i].md5, digests[i].size);
    }
    // One entry per name, as in the window: a later file of the same name wins.
    list = MergeResourceLines({}, list);
    const auto entries = static_cast<std::size_t>(std::count(list.begin(), list.end(), '\n'));
    const std::string body = BuildManifestBody(list, mode, options.directory);
    if (options.single) {
        return WriteOutput(options.outputDirectory, kSingleManifestFileName, body, entries);
    }
    const std::string manifest = BuildStandaloneManifest(body, options.version);
    if (!CheckRelease(OutputPath(options.outputDirectory, kStandaloneManifestFileName), manifest,
                      options.requireNewVersion)) {
        return 1;
    }
    return WriteOutput(options.outputDirectory, kStandaloneManifestFileName, manifest, entries);
}

}  // namespace varo::cli
