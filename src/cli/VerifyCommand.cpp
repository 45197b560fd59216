#include <cerrno>

#include "cli/Commands.h"
#include "cli/ProgressBar.h"
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

std::string ProblemLine(const PublishedEntryProblem& problem) {
    const std::string name = ShownUtf8(problem.filename);
    switch (problem.kind) {
        case PublishedEntryProblem::Kind::LeavesRoot:
            return Say(Text::EntryLeavesRoot, {name});
        case PublishedEntryProblem::Kind::Missing:
            return Say(Text::EntryMissing, {name});
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
    }
    return name;
}

}  // namespace

// Every entry of the manifest against the folder that serves it: the
// problems on stdout, one line each, then one line that sums up.
int RunVerify(const VerifyOptions& options) {
    PublishVerifyRun run;
    run.threads = options.jobs;
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
        report += ProblemLine(problem) + "\n";
    }
    for (const std::string& name : verification.unlisted) {
        report += Say(Text::EntryUnlisted, {ShownUtf8(name)}) + "\n";
    }
    const std::size_t entries = verification.manifest.entries.size();
    const std::string unlisted = verification.unlisted.empty()
                                     ? std::string()
                                     : SayFor(verification.unlisted.size(), Text::UnlistedCount,
                                              {std::to_string(verification.unlisted.size())});
    const std::string outcome =
        verification.problems.empty()
            ? Say(entries == 1 ? Text::ItMatches : Text::AllMatch) + unlisted
            : SayFor(verification.problems.size(), Text::SomeDoNotMatch,
                     {std::to_string(verification.problems.size()), unlisted});
    report += Say(Text::Checked, {Counted(entries, Text::Entries), Shown(verification.root),
                                  Counted(verification.bytesRead, Text::Bytes), outcome}) +
              "\n";
    WriteStandardOutput(report);
    return verification.Matches() ? 0 : 1;
}

}  // namespace varo::cli
