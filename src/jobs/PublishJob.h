#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "digest/FileDigest.h"
#include "manifest/PreviousRelease.h"
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
    };
    Kind kind = Kind::Missing;
    std::size_t entry = 0;  // its place in the manifest, from 0
    std::string filename;   // as the manifest lists it
    std::string listedSize;
    std::string listedMd5;
    std::uint64_t foundSize = 0;
    std::string foundMd5;
    SystemError error;
};

// A manifest checked against a folder.
struct PublishVerification {
    enum class Problem {
        None,
        Unreadable,    // the manifest: `readError` (EFBIG: over `sizeLimit`)
        NotAManifest,  // `manifest.error` and `manifest.fault` say why
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

    bool Matches() const { return problem == Problem::None && problems.empty() && !cancelled; }
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

// The path of a manifest entry below `root`, '/' turned into the system's
// separator. The name must stay below the root (StaysBelowRoot).
std::string PublishedPath(const std::string& root, std::string_view filename);

}  // namespace varo
