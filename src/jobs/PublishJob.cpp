#include "jobs/PublishJob.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "jobs/ParallelEach.h"
#include "manifest/Manifest.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "text/Ascii.h"
#include "text/GbkSearch.h"

namespace varo {
namespace {

// The folder part of a manifest name ("map/a/x.map" gives "map/a"), empty
// for a bare name.
std::string_view FolderOfName(std::string_view filename) {
    const std::size_t slash = filename.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : filename.substr(0, slash);
}

// Files in the folders the entries name that no entry names.
std::vector<std::string> UnlistedFiles(const PublishVerification& verification,
                                       const std::string& manifestPath) {
    std::unordered_set<std::string_view> listed;
    std::set<std::string_view> folders;
    for (const ManifestEntry& entry : verification.manifest.entries) {
        if (StaysBelowRoot(entry.filename)) {
            listed.insert(entry.filename);
            folders.insert(FolderOfName(entry.filename));
        }
    }
    // The manifest itself, when it lies in the root, is no stray file.
    const bool manifestInRoot =
        PathFolder(manifestPath) == (verification.root.empty() ? "." : verification.root);
    const std::string manifestName = PathFileName(manifestPath);
    std::vector<std::string> unlisted;
    for (const std::string_view folder : folders) {
        std::vector<FolderEntry> entries;
        SystemError error;
        if (!ListFolder(PublishedPath(verification.root, folder), entries, error)) {
            continue;  // its entries are named missing or unreadable already
        }
        for (const FolderEntry& entry : entries) {
            if (entry.kind != FolderEntry::Kind::File) {
                continue;
            }
            std::string name = folder.empty() ? entry.name : std::string(folder) + "/" + entry.name;
            if (listed.count(name) == 0 &&
                !(folder.empty() && manifestInRoot && entry.name == manifestName)) {
                unlisted.push_back(std::move(name));
            }
        }
    }
    std::sort(unlisted.begin(), unlisted.end());
    return unlisted;
}

PublishedEntryProblem ProblemOf(PublishedEntryProblem::Kind kind, std::size_t index,
                                const ManifestEntry& entry) {
    PublishedEntryProblem problem;
    problem.kind = kind;
    problem.entry = index;
    problem.filename = entry.filename;
    problem.listedSize = entry.size;
    problem.listedMd5 = entry.md5;
    return problem;
}

}  // namespace

std::string PublishedPath(const std::string& root, std::string_view filename) {
    std::string relative(filename);
    std::replace(relative.begin(), relative.end(), '/', NativeSeparator());
    return JoinPath(root, relative);
}

PublishVerification VerifyPublishFolder(const std::string& manifestPath, const std::string& root,
                                        const PublishVerifyRun& run) {
    PublishVerification verification;
    verification.root = root.empty() ? PathFolder(manifestPath) : root;
    verification.sizeLimit = kLargestWholeFile;
    const std::optional<std::string> text =
        ReadWholeFile(manifestPath, verification.sizeLimit, &verification.readError);
    if (!text) {
        verification.problem = PublishVerification::Problem::Unreadable;
        return verification;
    }
    verification.manifest =
        ParseAnyManifest(*text, PathFileName(manifestPath) == kSingleManifestFileName);
    if (!verification.manifest.ok) {
        verification.problem = PublishVerification::Problem::NotAManifest;
        return verification;
    }

    // Every entry whose name stays below the root is digested, all together.
    const std::vector<ManifestEntry>& entries = verification.manifest.entries;
    DigestJob job;
    job.threads = run.threads;
    job.cancel = run.cancel;
    job.onProgress = run.onProgress;
    std::vector<std::size_t> entryOfFile;
    std::vector<std::optional<PublishedEntryProblem>> found(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ManifestEntry& entry = entries[i];
        if (!StaysBelowRoot(entry.filename)) {
            found[i] = ProblemOf(PublishedEntryProblem::Kind::LeavesRoot, i, entry);
            continue;
        }
        // Opened by the engine as it digests: what is missing or no file
        // shows in its failure, without a look at each name beforehand.
        job.paths.push_back(PublishedPath(verification.root, entry.filename));
        entryOfFile.push_back(i);
    }
    const std::vector<FileDigest> digests = DigestFiles(job);
    for (std::size_t f = 0; f < digests.size(); ++f) {
        const FileDigest& digest = digests[f];
        const ManifestEntry& entry = entries[entryOfFile[f]];
        PublishedEntryProblem problem =
            ProblemOf(PublishedEntryProblem::Kind::Unreadable, entryOfFile[f], entry);
        verification.bytesRead += digest.size;
        if (!digest.ok) {
            const int kind = digest.error.kind;
            verification.cancelled = verification.cancelled || kind == ECANCELED;
            problem.kind = kind == ENOENT || kind == ENOTDIR ? PublishedEntryProblem::Kind::Missing
                           : kind == EISDIR || kind == kNotRegularFile
                               ? PublishedEntryProblem::Kind::NotAFile
                               : PublishedEntryProblem::Kind::Unreadable;
            problem.error = digest.error;
        } else if (std::to_string(digest.size) != entry.size) {
            problem.kind = PublishedEntryProblem::Kind::SizeDiffers;
            problem.foundSize = digest.size;
        } else if (AsciiLower(entry.md5) != digest.md5) {
            problem.kind = PublishedEntryProblem::Kind::Md5Differs;
            problem.foundSize = digest.size;
            problem.foundMd5 = digest.md5;
        } else {
            continue;
        }
        found[entryOfFile[f]] = std::move(problem);
    }
    for (std::optional<PublishedEntryProblem>& problem : found) {
        if (problem) {
            verification.problems.push_back(std::move(*problem));
        }
    }
    verification.unlisted = UnlistedFiles(verification, manifestPath);
    return verification;
}

std::vector<StagedEntry> StagedEntriesOf(const ResourceImportPlan& plan,
                                         const std::vector<FileDigest>& digests, ManifestMode mode,
                                         std::string_view directory) {
    std::vector<StagedEntry> entries;
    for (const std::size_t file : FileOfEachLine(plan, digests)) {
        if (file < plan.files.size()) {
            const std::string& source = plan.files[file];
            entries.push_back({ManifestFileName(PathFileNameView(source), mode, directory), source,
                               digests[file].md5, digests[file].size});
        }
    }
    return entries;
}

std::vector<StagedEntry> StagedEntriesOfList(const ResourceList& list, ManifestMode mode,
                                             std::string_view directory,
                                             std::vector<std::string>& unknown) {
    std::vector<StagedEntry> entries;
    for (const std::string_view line : SplitLines(list.Text())) {
        if (line.empty()) {
            continue;
        }
        const ResourceLine parts = ParseResourceLine(line);
        std::string source = list.SourceOf(parts.name);
        if (source.empty()) {
            unknown.emplace_back(parts.name);
            continue;
        }
        std::uint64_t size = 0;
        std::from_chars(parts.size.data(), parts.size.data() + parts.size.size(), size);
        entries.push_back({ManifestFileName(parts.name, mode, directory), std::move(source),
                           std::string(parts.md5), size});
    }
    return entries;
}

namespace {

// True when `path` is a regular file of `size` bytes whose MD5 is `md5`.
bool HoldsBytes(const std::string& path, std::uint64_t size, const std::string& md5,
                const std::atomic<bool>* cancel) {
    FileState state;
    SystemError error;
    if (KindOfPath(path) != PathKind::File || !StatFile(path, state, error) || state.size != size) {
        return false;
    }
    const FileDigest digest = DigestFile(path, {}, cancel);
    return digest.ok && digest.size == size && digest.md5 == md5;
}

}  // namespace

namespace {

// What became of one entry of a stage.
struct StagedFile {
    enum class Result { NotReached, Unchanged, Added, Changed, Failed } result = Result::NotReached;
    std::string path;
    SystemError error;
    std::uint64_t bytes = 0;
};

// Brings one entry in step: nothing when the folder holds its bytes, else a
// copy digested as it is made.
StagedFile StageOne(const StagedEntry& entry, const std::string& stageDir,
                    const std::atomic<bool>* cancel) {
    StagedFile staged;
    staged.path = PublishedPath(stageDir, entry.filename);
    const auto fail = [&](const SystemError& error) {
        staged.result = StagedFile::Result::Failed;
        staged.error = error;
        return staged;
    };
    if (cancel != nullptr && cancel->load()) {
        return fail(ErrnoError(ECANCELED));
    }
    const bool there = KindOfPath(staged.path) != PathKind::Missing;
    if (there && HoldsBytes(staged.path, entry.size, entry.md5, cancel)) {
        staged.result = StagedFile::Result::Unchanged;
        return staged;
    }
    std::error_code made;
    std::filesystem::create_directories(FileSystemPath(PathFolder(staged.path)), made);
    if (made) {
        return fail(FileSystemError(made));
    }
    FileDigest copied;
    // Not forced to the disk file by file: a copy can be made again, and
    // the rename alone keeps clients from half a file.
    const FileWriteResult written = WriteFileAtomically(
        staged.path,
        [&](const WriteChunk& write) -> SystemError {
            copied = DigestFileThrough(entry.source, write, {}, cancel);
            if (!copied.ok) {
                return copied.error;
            }
            // The source changed since it was digested: its bytes are not the listed ones.
            return copied.size == entry.size && copied.md5 == entry.md5
                       ? SystemError()
                       : ErrnoError(kChangedWhileRead);
        },
        /*durable=*/false);
    if (!written.ok) {
        return fail(written.error);
    }
    staged.result = there ? StagedFile::Result::Changed : StagedFile::Result::Added;
    staged.bytes = copied.size;
    return staged;
}

}  // namespace

StageOutcome StageFiles(const std::vector<StagedEntry>& entries, const std::string& stageDir,
                        const std::atomic<bool>* cancel, const DigestProgress& onProgress) {
    StageOutcome outcome;
    for (const StagedEntry& entry : entries) {
        if (!StaysBelowRoot(entry.filename)) {
            outcome.problem = StageOutcome::Problem::LeavesRoot;
            outcome.name = entry.filename;
            return outcome;
        }
    }
    std::error_code madeFolder;
    std::filesystem::create_directories(FileSystemPath(stageDir), madeFolder);
    if (madeFolder) {
        outcome.problem = StageOutcome::Problem::CopyFailed;
        outcome.path = stageDir;
        outcome.error = FileSystemError(madeFolder);
        return outcome;
    }
    // The files side by side, one per core: each copy is digested as it is
    // made, which one core alone cannot do at the disk's pace. The first
    // failure stops the taking of new files.
    std::vector<StagedFile> staged(entries.size());
    std::atomic<bool> failed{false};
    std::mutex progressMutex;
    DigestProgressState progress{0, entries.size(), 0, entries.size(), 0};
    // A file taken is always brought in step or failed: none is left half way.
    ParallelEach(
        entries.size(), DefaultDigestThreads(),
        [&](std::size_t i) {
            staged[i] = StageOne(entries[i], stageDir, cancel);
            if (staged[i].result == StagedFile::Result::Failed) {
                failed = true;
            }
            if (onProgress) {
                std::lock_guard lock(progressMutex);
                progress.done = ++progress.filesDone;
                progress.bytesRead += staged[i].bytes;
                onProgress(progress);
            }
        },
        &failed);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        switch (staged[i].result) {
            case StagedFile::Result::NotReached:
                break;
            case StagedFile::Result::Unchanged:
                ++outcome.unchanged;
                break;
            case StagedFile::Result::Added:
            case StagedFile::Result::Changed:
                ++(staged[i].result == StagedFile::Result::Added ? outcome.added : outcome.changed);
                outcome.bytesCopied += staged[i].bytes;
                outcome.copied.push_back(entries[i].filename);
                break;
            case StagedFile::Result::Failed:
                if (outcome.problem == StageOutcome::Problem::None) {
                    outcome.problem = StageOutcome::Problem::CopyFailed;
                    outcome.name = entries[i].filename;
                    outcome.path = staged[i].path;
                    outcome.error = staged[i].error;
                }
                break;
        }
    }
    return outcome;
}

std::vector<std::string> NoLongerListed(const ParsedManifest& previous,
                                        const std::vector<StagedEntry>& entries) {
    std::unordered_set<std::string_view> listed;
    for (const StagedEntry& entry : entries) {
        listed.insert(entry.filename);
    }
    std::vector<std::string> gone;
    for (const ManifestEntry& entry : previous.entries) {
        if (listed.count(entry.filename) == 0) {
            gone.push_back(entry.filename);
        }
    }
    return gone;
}

}  // namespace varo
