#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/SystemError.h"

namespace varo {

struct FileDigest {
    bool ok = false;
    std::string md5;         // 32 lowercase hexadecimal digits
    std::uint64_t size = 0;  // the bytes digested
    SystemError error;       // why the file could not be digested
};

// Streams the file through MD5 in large chunks; never holds it whole. A file
// that grows, shrinks or is rewritten while it is read (resources still
// being copied) fails with kChangedWhileRead: its digest would match neither
// the old file nor the new one. `onBytes` hears of every chunk read. When
// `cancel` turns true the digest stops after the chunk at hand (ECANCELED).
// A failure of the system's MD5 fails the file (EIO), as a read error would.
FileDigest DigestFile(const std::string& path,
                      const std::function<void(std::uint64_t bytes)>& onBytes = {},
                      const std::atomic<bool>* cancel = nullptr);

// How far a digest job has come: `done` of `total`, where each file weighs
// its size when the job started plus one (so that empty files count too).
// `done` never passes `total`, however the files change meanwhile.
using DigestProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

struct DigestJob {
    std::vector<std::string> paths;
    int threads = 1;                            // at least one is used
    const std::atomic<bool>* cancel = nullptr;  // true: the files not yet done fail with ECANCELED
    DigestProgress onProgress;                  // called from the worker threads, one at a time
};

// The digest engine of both front ends: digests the files on the job's
// threads and returns their digests in the order of the paths. Whatever
// happens to one file (an exception included) fails that file only, and
// every thread the job starts has ended when it returns.
std::vector<FileDigest> DigestFiles(const DigestJob& job);

// The number of threads a digest job uses unless told otherwise: one per
// hardware thread.
int DefaultDigestThreads();

}  // namespace varo
