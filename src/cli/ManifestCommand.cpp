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
#include "text/Printable.h"

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
            return Say(Text::CacheNoPlace, {ReasonText(problem.error, FileAccess::Write)});
        case CacheProblem::Kind::LibraryMissing:
            return Say(Text::CacheNoSqlite);
        case CacheProblem::Kind::NotOurs:
            return Say(Text::CacheNotOurs);
        case CacheProblem::Kind::Sqlite:
            return Say(Text::CacheSqlite,
                       {SqliteCodeWords(problem.sqliteCode, CurrentLanguage()),
                        problem.message.empty()
                            ? Say(Text::SqliteErrorCode, {std::to_string(problem.sqliteCode)})
                            : EscapeControlBytes(problem.message)});
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
    Note(Say(Text::ReleaseChange,
             {ShownUtf8(check.previous.manifest.version), std::to_string(change.added),
              std::to_string(change.changed), std::to_string(change.removed),
              Counted(change.downloadBytes, Text::Bytes)}));
}

}  // namespace

// As importing the files in this order in this mode, then a manifest writer.
int RunManifest(const ManifestOptions& options) {
    const ManifestMode mode = ModeNamed(options.mode);
    ResourceImportStart start = StartResourceImport(options.paths, mode, options.jobs);
    const ExpandedResourcePaths& expanded = start.expanded;
    ResourceImportPlan& plan = start.plan;
    for (const SkippedResource& skipped : expanded.skipped) {
        Note(Say(Text::Skipped, {Shown(skipped.path), ReasonText(skipped.error)}));
    }
    switch (expanded.problem) {
        case ExpandedResourcePaths::Problem::None:
            break;
        case ExpandedResourcePaths::Problem::CannotList:
            return Fail(
                Say(Text::CannotList, {Shown(expanded.folder), ReasonText(expanded.error)}));
        case ExpandedResourcePaths::Problem::NoFiles:
            return Fail(Say(Text::NoFilesForMode, {Shown(expanded.folder), options.mode}));
    }
    if (!plan.refused.empty()) {
        for (const SkippedResource& refused : plan.refused) {
            Note(Say(Text::Refused, {Shown(refused.path), ReasonText(refused.error)}));
        }
        return Fail(Say(Text::NothingWritten));
    }
    // The version first: a run that cannot tell it digests nothing.
    std::string version = options.version;
    if (!options.single && version == "next") {
        const NextRelease next = NextReleaseVersion(options.outputDirectory);
        switch (next.problem) {
            case NextRelease::Problem::None:
                break;
            case NextRelease::Problem::NoPrevious:
                return Fail(Say(Text::NoPreviousForNext, {Shown(next.previousPath)}));
            case NextRelease::Problem::Unreadable:
                return Fail(Say(Text::PreviousUnreadableForNext, {Shown(next.previousPath)}));
            case NextRelease::Problem::NotNumbers:
                return Fail(Say(Text::PreviousVersionNotNumbers,
                                {Shown(next.previousPath), ShownUtf8(next.previousVersion)}));
        }
        version = next.version;
        Note(Say(Text::NextVersion, {ShownUtf8(version), ShownUtf8(next.previousVersion)}));
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
                    Note(Say(Text::CacheNotSaved, {Shown(path), CacheProblemText(problem)}));
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
        Note(Say(Text::CacheNotUsed, {Shown(run.cachePath), CacheProblemText(cached.problem)}));
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
            Note(Say(Text::CannotRead, {Shown(failed.path), ReasonText(failed.error)}));
        }
        return Fail(Say(Text::NothingWritten));
    }
    // One name from two files: other bytes are a finding, the same bytes a note.
    for (std::size_t i = 0; i < outcome.sameBytes.size() && i < kItemsListed; ++i) {
        const ResourceImportPlan::SharedName& shared = outcome.sameBytes[i];
        Note(
            Say(Text::SameBytes, {Shown(shared.earlier), Shown(shared.later), Shown(shared.name)}));
    }
    if (outcome.sameBytes.size() > kItemsListed) {
        const std::size_t more = outcome.sameBytes.size() - kItemsListed;
        Note(SayFor(more, Text::MoreSameBytes, {std::to_string(more)}));
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
        staged.copied.empty()
            ? Say(Text::NothingCopied)
            : Say(Text::CopiedBefore, {ListedValues(staged.copied, ShownUtf8, Text::ListComma)});
    switch (staged.problem) {
        case StageOutcome::Problem::None:
            break;
        case StageOutcome::Problem::LeavesRoot:
            return Fail(Say(Text::StageLeavesRoot,
                            {ShownUtf8(staged.name), Shown(options.stageDirectory)}));
        case StageOutcome::Problem::CopyFailed:
            return Fail(Say(staged.name.empty() ? Text::CannotCopy : Text::CannotCopyNamed,
                            {Shown(staged.path), ReasonText(staged.error, FileAccess::Write),
                             copiedBefore, ShownUtf8(staged.name)}));
    }
    const std::vector<std::string> gone =
        NoLongerListed(release.release.previous.manifest, entries);
    if (!gone.empty()) {
        Note(Say(Text::NoLongerListed, {Counted(gone.size(), Text::Files),
                                        ListedValues(gone, ShownUtf8, Text::ListComma)}));
    }
    const int written = CommitAndReport(release.output);
    if (written == 0) {
        Note(Say(Text::Staged,
                 {Counted(staged.added + staged.changed, Text::Files), std::to_string(staged.added),
                  std::to_string(staged.changed), std::to_string(staged.unchanged),
                  std::to_string(gone.size()), Counted(staged.bytesCopied, Text::Bytes)}));
    }
    return written;
}

}  // namespace varo::cli
