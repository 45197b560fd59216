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
                   ? "larger than " + SizeText(verification.sizeLimit)
                   : SystemErrorMessage(verification.readError);
    }
    return EscapeControlBytes(verification.manifest.error);  // with the line and column
}

std::string ProblemLine(const PublishedEntryProblem& problem) {
    const std::string name = ShownUtf8(problem.filename);
    switch (problem.kind) {
        case PublishedEntryProblem::Kind::LeavesRoot:
            return name + ": the name leaves the folder; not opened";
        case PublishedEntryProblem::Kind::Missing:
            return name + ": missing";
        case PublishedEntryProblem::Kind::NotAFile:
            return name + ": not a file";
        case PublishedEntryProblem::Kind::Unreadable:
            return name + ": cannot read: " + SystemErrorMessage(problem.error);
        case PublishedEntryProblem::Kind::SizeDiffers:
            return name + ": size differs: listed " + ShownUtf8(problem.listedSize) + ", found " +
                   std::to_string(problem.foundSize);
        case PublishedEntryProblem::Kind::Md5Differs:
            return name + ": MD5 differs: listed " + ShownUtf8(problem.listedMd5) + ", found " +
                   problem.foundMd5;
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
        return Fail(Shown(options.manifest) +
                    ": not a readable manifest: " + ManifestProblemText(verification));
    }
    std::string report;
    for (const PublishedEntryProblem& problem : verification.problems) {
        report += ProblemLine(problem) + "\n";
    }
    for (const std::string& name : verification.unlisted) {
        report += ShownUtf8(name) + ": not in the manifest\n";
    }
    const std::size_t entries = verification.manifest.entries.size();
    report +=
        "checked " + Counted(entries, "entry", "entries") + " in " + Shown(verification.root) +
        " (" + Counted(verification.bytesRead, "byte") + " read): " +
        (verification.problems.empty()
             ? std::string(entries == 1 ? "it matches" : "all match")
             : Counted(verification.problems.size(), "entry", "entries") +
                   (verification.problems.size() == 1 ? " does" : " do") + " not match") +
        (verification.unlisted.empty()
             ? std::string()
             : "; " + Counted(verification.unlisted.size(), "file") + " not in the manifest") +
        "\n";
    WriteStandardOutput(report);
    return verification.Matches() ? 0 : 1;
}

}  // namespace varo::cli
