#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <thread>

#include "cache/DigestCache.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"
#include "digest/FileDigest.h"
#include "jobs/ManifestJob.h"
#include "jobs/PublishJob.h"
#include "jobs/ResourceImportJob.h"
#include "manifest/Manifest.h"
#include "manifest/ReleaseCheck.h"
#include "manifest/ResourceImport.h"
#include "manifest/ResourcePaths.h"
#include "platform/CommandLineProcess.h"
#include "platform/Path.h"

namespace varo::cli {
namespace {

ManifestMode ModeNamed(const std::string& name) {
    return name == "hot"      ? ManifestMode::HotUpdate
           : name == "custom" ? ManifestMode::CustomDirectory
                              : ManifestMode::MicroClient;
}

std::string CacheProblemText(const CacheProblem& problem) {
    switch (problem.kind) {
        case CacheProblem::Kind::NoPlace:
            return "no cache folder: " + SystemErrorMessage(problem.error);
        case CacheProblem::Kind::LibraryMissing:
            return "SQLite cannot be loaded";
        case CacheProblem::Kind::NotOurs:
            return "the file there is not this program's cache and was left as it is; move it "
                   "away to have a cache again";
        case CacheProblem::Kind::Sqlite:
            return "SQLite: " + (problem.message.empty()
                                     ? "error " + std::to_string(problem.sqliteCode)
                                     : problem.message);
        case CacheProblem::Kind::None:
            break;
    }
    return {};
}

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
    ResourceImportStart start = StartResourceImport(options.paths, mode, options.jobs);
    const ExpandedResourcePaths& expanded = start.expanded;
    ResourceImportPlan& plan = start.plan;
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
    if (!plan.refused.empty()) {
        for (const SkippedResource& refused : plan.refused) {
            Note(Shown(refused.path) + ": " + SystemErrorMessage(refused.error));
        }
        return Fail("nothing was written");
    }
    // The version first: a run that cannot tell it digests nothing.
    std::string version = options.version;
    if (!options.single && version == "next") {
        const NextRelease next = NextReleaseVersion(options.outputDirectory);
        switch (next.problem) {
            case NextRelease::Problem::None:
                break;
            case NextRelease::Problem::NoPrevious:
                return Fail(Shown(next.previousPath) +
                            ": no update.json there to take the next version from");
            case NextRelease::Problem::Unreadable:
                return Fail(Shown(next.previousPath) +
                            ": not a readable manifest; --version next needs its version");
            case NextRelease::Problem::NotNumbers:
                return Fail(Shown(next.previousPath) + ": its version \"" +
                            ShownUtf8(next.previousVersion) +
                            "\" is not dotted decimal numbers; give --version as it should be");
        }
        version = next.version;
        Note("version " + ShownUtf8(version) + " (after " + ShownUtf8(next.previousVersion) + ")");
    }

    ResourceDigestRun run;
    run.threads = options.jobs;
    run.cachePath = options.noCache ? std::string() : DefaultDigestCachePath();
    // The cache is saved while the manifest is made and written; a save
    // that failed is said last, whichever way the command ends.
    run.save = CacheSave::Meanwhile;
    CachedDigests cached;
    struct SaveNote {
        CachedDigests& cached;
        const std::string& path;
        ~SaveNote() {
            try {
                if (const CacheProblem problem = FinishCacheSave(cached)) {
                    Note("warning: the digest cache " + Shown(path) + " was not saved (" +
                         CacheProblemText(problem) + "); the next run digests these files again");
                }
            } catch (...) {
                // Out of memory for the words: the cache is as it was.
            }
        }
    } saveNote{cached, run.cachePath};
    if (!options.quiet && StandardErrorIsTerminal()) {
        ProgressBar progress;
        run.onProgress = [&](const DigestProgressState& state) { progress.Set(state); };
        cached = DigestResourceImport(plan, run);
    } else {
        cached = DigestResourceImport(plan, run);
    }
    if (cached.problem) {
        Note("warning: the digest cache " + Shown(run.cachePath) + " was not used (" +
             CacheProblemText(cached.problem) + "); every file was digested");
    }
    const std::vector<FileDigest>& digests = cached.digests;

    // The previous update.json is read while the list is concluded and the
    // new one built.
    const std::string& directory =
        options.stageDirectory.empty() ? options.outputDirectory : options.stageDirectory;
    std::future<PreviousRelease> previous;
    if (!options.single) {
        previous = ReadPreviousReleaseAhead(directory);
    }
    const ResourceImportOutcome outcome = ConcludeResourceImport(plan, digests);
    const ImportedResources& imported = outcome.imported;
    if (!imported.failed.empty()) {
        for (const SkippedResource& failed : imported.failed) {
            Note(Shown(failed.path) + ": cannot read: " + SystemErrorMessage(failed.error));
        }
        return Fail("nothing was written");
    }
    // One name from two files: other bytes are a finding, the same bytes a note.
    for (std::size_t i = 0; i < outcome.sameBytes.size() && i < kItemsListed; ++i) {
        const ResourceImportPlan::SharedName& shared = outcome.sameBytes[i];
        Note(Shown(shared.earlier) + " and " + Shown(shared.later) + " give the same entry name " +
             Shown(shared.name) + " with the same bytes; it is listed once");
    }
    if (outcome.sameBytes.size() > kItemsListed) {
        Note("and " + Counted(outcome.sameBytes.size() - kItemsListed, "more name") +
             " given by two files with the same bytes");
    }
    if (!AllowFinding(outcome.duplicates, options.accepted)) {
        return 1;
    }
    // One entry per name, as in the window: a later file of the same name wins.
    const ManifestNaming naming{mode, options.directory};
    if (options.single) {
        return WriteOutput(PlanSingleManifest(imported.lines, naming, options.outputDirectory),
                           options.accepted);
    }
    const StandaloneManifestPlan release =
        PlanStandaloneManifest(imported.lines, naming, version, directory, std::move(previous));
    ReportRelease(release.release);
    if (options.stageDirectory.empty()) {
        return WriteOutput(release.output, options.accepted);
    }
    // Every check first: a refusal copies nothing; update.json goes last.
    if (!AllowFindings(release.output.findings, options.accepted)) {
        return 1;
    }
    const std::vector<StagedEntry> entries =
        StagedEntriesOf(plan, digests, mode, options.directory);
    const StageOutcome staged = StageFiles(entries, options.stageDirectory);
    const std::string copiedBefore =
        staged.copied.empty() ? std::string("nothing was copied")
                              : "copied before it" + ListedValues(staged.copied, ShownUtf8, ", ");
    switch (staged.problem) {
        case StageOutcome::Problem::None:
            break;
        case StageOutcome::Problem::LeavesRoot:
            return Fail(ShownUtf8(staged.name) + ": the name would leave " +
                        Shown(options.stageDirectory) + "; nothing was copied or written");
        case StageOutcome::Problem::CopyFailed:
            return Fail(Shown(staged.path) + ": cannot copy" +
                        (staged.name.empty() ? std::string() : " " + ShownUtf8(staged.name)) +
                        ": " + SystemErrorMessage(staged.error) + "; " + copiedBefore +
                        "; update.json was left as it was");
    }
    const std::vector<std::string> gone =
        NoLongerListed(release.release.previous.manifest, entries);
    if (!gone.empty()) {
        Note(Counted(gone.size(), "file") +
             " of the previous update.json no longer listed (left "
             "in the folder)" +
             ListedValues(gone, ShownUtf8, ", "));
    }
    const int written = CommitAndReport(release.output);
    if (written == 0) {
        Note("staged: " + Counted(staged.added + staged.changed, "file") + " copied (" +
             std::to_string(staged.added) + " added, " + std::to_string(staged.changed) +
             " changed), " + std::to_string(staged.unchanged) + " already there, " +
             std::to_string(gone.size()) + " no longer listed, " +
             Counted(staged.bytesCopied, "byte") + " copied");
    }
    return written;
}

}  // namespace varo::cli
