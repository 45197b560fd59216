#include <cerrno>

#include <algorithm>
#include <cstdio>
#include "cli/Commands.h"
#include "cli/ProgressBar.h"

#include "jobs/AddressVerifyJob.h"
#include "jobs/PublishJob.h"
#include "platform/CommandLineProcess.h"
#include "platform/Path.h"
#include "text/Printable.h"

namespace varo::cli {
namespace {

// Why the manifest itself cannot be checked against.
std::string ManifestProblemText(const PublishVerification& verification) {
    if (verification.problem == PublishVerification::Problem::Unreadable) {
        return verification.readError.kind == EFBIG
                   ? Say(Text::LargerThan, {SizeText(verification.sizeLimit)})
                   : ReasonText(verification.readError);
    }
    // With the line and column.
    return CurrentLanguage() == Language::Chinese
               ? ManifestFaultWords(verification.manifest.fault, Language::Chinese)
               : EscapeControlBytes(verification.manifest.error);
}

// One problem as a line says it; `timeouts` are those of the fetches.
std::string ProblemLine(const PublishedEntryProblem& problem, bool address,
                        const HttpTimeouts& timeouts = {}) {
    const std::string name = ShownUtf8(problem.filename);
    switch (problem.kind) {
        case PublishedEntryProblem::Kind::LeavesRoot:
            return Say(address ? Text::EntryLeavesBase : Text::EntryLeavesRoot, {name});
        case PublishedEntryProblem::Kind::Missing:
            return problem.status != 0
                       ? Say(Text::EntryMissingAnswer, {name, std::to_string(problem.status)})
                       : Say(Text::EntryMissing, {name});
        case PublishedEntryProblem::Kind::NotAFile:
            return Say(Text::EntryNotAFile, {name});
        case PublishedEntryProblem::Kind::Unreadable:
            return Say(Text::EntryUnreadable, {name, ReasonText(problem.error)});
        case PublishedEntryProblem::Kind::SizeDiffers:
            return Say(Text::EntrySizeDiffers,
                       {name, ShownUtf8(problem.listedSize), std::to_string(problem.foundSize)});
        case PublishedEntryProblem::Kind::Md5Differs:
            return Say(Text::EntryMd5Differs,
                       {name, ShownUtf8(problem.listedMd5), problem.foundMd5});
        case PublishedEntryProblem::Kind::ServerStatus:
            return Say(Text::EntryServerStatus, {name, std::to_string(problem.status)});
        case PublishedEntryProblem::Kind::RedirectedAway:
            return Say(Text::EntryRedirectedAway, {name, ShownUtf8(problem.location)});
        case PublishedEntryProblem::Kind::Unfetched:
            switch (problem.fetchFailure) {
                case HttpResponse::Failure::TimedOut:
                    return Say(Text::EntryTimedOut,
                               {name, std::to_string(timeouts.stallMilliseconds / 1000)});
                case HttpResponse::Failure::CannotConnect:
                    return Say(Text::EntryCannotConnect, {name, ShownUtf8(problem.reason)});
                default:
                    return Say(Text::EntryFetchFailed, {name, ShownUtf8(problem.reason)});
            }
    }
    return name;
}

}  // namespace

// The outcome after the count of entries: all match, or how many do not,
// and the files not listed.
std::string Outcome(const PublishVerification& verification) {
    const std::size_t entries = verification.manifest.entries.size();
    const std::string unlisted = verification.unlisted.empty()
                                     ? std::string()
                                     : SayFor(verification.unlisted.size(), Text::UnlistedCount,
                                              {std::to_string(verification.unlisted.size())});
    return verification.problems.empty()
               ? Say(entries == 1 ? Text::ItMatches : Text::AllMatch) + unlisted
               : SayFor(verification.problems.size(), Text::SomeDoNotMatch,
                        {std::to_string(verification.problems.size()), unlisted});
}

// Every entry of the manifest at a web address, fetched as a client does.
int RunAddressVerify(const VerifyOptions& options) {
    AddressVerifyRun run;
    run.connections = options.jobs > 0 ? std::min(options.jobs, kMostFetches) : kDefaultFetches;
    run.quick = options.quick;
    PublishVerification verification;
    if (!options.quiet && StandardErrorIsTerminal()) {
        ProgressBar progress;
        run.onProgress = [&](const AddressVerifyProgress& state) {
            progress.Set({state.filesDone, state.files, state.filesDone, state.files, state.bytes});
            if (!state.slowestName.empty()) {
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, "%.1f", state.slowestSeconds);
                progress.SetNote(Say(Text::SlowestFetch, {ShownUtf8(state.slowestName), seconds}));
            }
        };
        verification = VerifyPublishedAddress(options.manifest, run);
    } else {
        verification = VerifyPublishedAddress(options.manifest, run);
    }
    const std::string address = ShownUtf8(options.manifest);
    switch (verification.problem) {
        case PublishVerification::Problem::None:
            break;
        case PublishVerification::Problem::Unfetched:
            return Fail(ProblemLine(verification.fetched, true, run.timeouts));
        case PublishVerification::Problem::Unreadable:
        case PublishVerification::Problem::NotAManifest:
            return Fail(
                Say(Text::ManifestUnreadable, {address, ManifestProblemText(verification)}));
    }
    if (verification.staleManifest) {
        Note(Say(Text::StaleManifest, {address}));
    }
    std::string report;
    for (const PublishedEntryProblem& problem : verification.problems) {
        report += ProblemLine(problem, true, run.timeouts) + "\n";
    }
    const std::string entries = Counted(verification.manifest.entries.size(), Text::Entries);
    report +=
        (options.quick ? Say(Text::CheckedSizes, {entries, address, "", Outcome(verification)})
                       : Say(Text::CheckedAddress,
                             {entries, address, Counted(verification.bytesRead, Text::Bytes),
                              Outcome(verification)})) +
        "\n";
    WriteStandardOutput(report);
    return verification.Matches() ? 0 : 1;
}

// Every entry of the manifest against the folder that serves it: the
// problems on stdout, one line each, then one line that sums up.
int RunVerify(const VerifyOptions& options) {
    if (IsWebAddress(options.manifest)) {
        return RunAddressVerify(options);
    }
    PublishVerifyRun run;
    run.threads = options.jobs > 0 ? options.jobs : DefaultDigestThreads();
    PublishVerification verification;
    if (!options.quiet && StandardErrorIsTerminal()) {
        ProgressBar progress;
        run.onProgress = [&](const DigestProgressState& state) { progress.Set(state); };
        verification = VerifyPublishFolder(options.manifest, options.root, run);
    } else {
        verification = VerifyPublishFolder(options.manifest, options.root, run);
    }
    if (verification.problem != PublishVerification::Problem::None) {
        return Fail(Say(Text::ManifestUnreadable,
                        {Shown(options.manifest), ManifestProblemText(verification)}));
    }
    std::string report;
    for (const PublishedEntryProblem& problem : verification.problems) {
        report += ProblemLine(problem, false) + "\n";
    }
    for (const std::string& name : verification.unlisted) {
        report += Say(Text::EntryUnlisted, {ShownUtf8(name)}) + "\n";
    }
    report +=
        Say(Text::Checked,
            {Counted(verification.manifest.entries.size(), Text::Entries), Shown(verification.root),
             Counted(verification.bytesRead, Text::Bytes), Outcome(verification)}) +
        "\n";
    WriteStandardOutput(report);
    return verification.Matches() ? 0 : 1;
}

}  // namespace varo::cli
