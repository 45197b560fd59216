#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "digest/FileDigest.h"
#include "manifest/Manifest.h"
#include "manifest/PreviousRelease.h"
#include "manifest/ResourceImport.h"
#include "manifest/ResourceList.h"
#include "platform/HttpClient.h"
#include "platform/SystemError.h"

namespace varo {

// The publish folder: the local mirror of what the web server serves, laid
// out as a manifest's "filename" values say.

// What is wrong with one entry of a manifest in the folder that serves it.
struct PublishedEntryProblem {
    enum class Kind {
        LeavesRoot,   // the name would leave the folder: never opened
        Missing,      // no file there
        NotAFile,     // a folder or something else of that name
        Unreadable,   // `error` says why
        SizeDiffers,  // `listedSize` against `foundSize`
        Md5Differs,   // `listedMd5` against `foundMd5`
        // From a web server only:
        ServerStatus,    // an answer other than the file: `status` (Missing: 404 or 410)
        Unfetched,       // no answer: `fetchFailure` and `reason`
        RedirectedAway,  // to another server: `location`, not followed
    };
    Kind kind = Kind::Missing;
    std::size_t entry = 0;  // its place in the manifest, from 0
    std::string filename;   // as the manifest lists it
    std::string listedSize;
    std::string listedMd5;
    std::uint64_t foundSize = 0;
    std::string foundMd5;
    SystemError error;
    int status = 0;  // the web server's answer
    HttpResponse::Failure fetchFailure = HttpResponse::Failure::None;
    std::string reason;
    std::string location;
};

// A manifest checked against a folder.
struct PublishVerification {
    enum class Problem {
        None,
        Unreadable,    // the manifest: `readError` (EFBIG: over `sizeLimit`)
        NotAManifest,  // `manifest.error` and `manifest.fault` say why
        // From a web server only: the manifest itself, as an entry's
        // problem would say (`fetched`).
        Unfetched,
    };
    Problem problem = Problem::None;
    SystemError readError;
    std::uint64_t sizeLimit = 0;
    ParsedManifest manifest;                      // `entriesOnly` tells its form
    std::string root;                             // the folder the entries were looked for in
    std::vector<PublishedEntryProblem> problems;  // in the order of the entries
    // Files in the folders the entries name that no entry names, relative to
    // the root with '/', sorted; they do not fail the check.
    std::vector<std::string> unlisted;
    std::uint64_t bytesRead = 0;
    bool cancelled = false;
    // From a web server: why the manifest was not fetched, and whether the
    // manifest a client gets differs from the server's own copy (a cache in
    // front of the server serves an old one); sizes only (`quick`).
    PublishedEntryProblem fetched;
    bool staleManifest = false;
    bool quick = false;

    bool Matches() const {
        return problem == Problem::None && problems.empty() && !cancelled && !staleManifest;
    }
};

struct PublishVerifyRun {
    int threads = 1;
    const std::atomic<bool>* cancel = nullptr;
    DigestProgress onProgress;
};

// Checks that every entry of the manifest at `manifestPath` (update.json or
// 单json文件.json) is a regular file below `root` (empty: the manifest's
// folder) with the listed size and MD5. Every byte is read, through the
// digest engine on the run's threads; no digest cache is asked.
PublishVerification VerifyPublishFolder(const std::string& manifestPath, const std::string& root,
                                        const PublishVerifyRun& run);

// One file of a release in the publish folder: where the manifest names it,
// where it comes from, and the digest the manifest lists for it.
struct StagedEntry {
    std::string filename;  // the manifest's "filename"
    std::string source;
    std::string md5;
    std::uint64_t size = 0;
};

// The entries of an import's files, in the order of the list's lines, under
// the names the manifest gives them.
std::vector<StagedEntry> StagedEntriesOf(const ResourceImportPlan& plan,
                                         const std::vector<FileDigest>& digests, ManifestMode mode,
                                         std::string_view directory);

// The same from the window's list: each line with the file its name came
// from. The names whose file the list does not know go to `unknown`.
std::vector<StagedEntry> StagedEntriesOfList(const ResourceList& list, ManifestMode mode,
                                             std::string_view directory,
                                             std::vector<std::string>& unknown);

// What bringing the publish folder in step did.
struct StageOutcome {
    enum class Problem {
        None,
        LeavesRoot,  // `name` would leave the folder: nothing was copied
        CopyFailed,  // `name` could not be copied to `path`: `error`
    };
    Problem problem = Problem::None;
    std::string name;
    std::string path;
    SystemError error;
    std::vector<std::string> copied;  // the names copied, in order (before a failure too)
    std::size_t added = 0;
    std::size_t changed = 0;
    std::size_t unchanged = 0;  // the folder held those bytes already
    std::uint64_t bytesCopied = 0;

    bool ok() const { return problem == Problem::None; }
};

// Copies each entry's file to `stageDir`/<filename> where the folder does not
// hold those bytes already (the same size and MD5), making folders as
// needed, a file per core at a time. Every name is checked before anything is
// copied. Each copy goes through a temporary file and a rename, and is
// digested as it is made: a source whose bytes are no longer the listed ones
// fails it, as does a cancel (ECANCELED). After the first failure no new file
// is taken; the outcome names the first entry that failed, in their order,
// and every file copied.
// `onProgress` hears after each file (done and total count files).
StageOutcome StageFiles(const std::vector<StagedEntry>& entries, const std::string& stageDir,
                        const std::atomic<bool>* cancel = nullptr,
                        const DigestProgress& onProgress = {});

// The filenames `previous` lists that `entries` no longer do, in its order.
std::vector<std::string> NoLongerListed(const ParsedManifest& previous,
                                        const std::vector<StagedEntry>& entries);

// The path of a manifest entry below `root`, '/' turned into the system's
// separator. The name must stay below the root (StaysBelowRoot).
std::string PublishedPath(const std::string& root, std::string_view filename);

}  // namespace varo
