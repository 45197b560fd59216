#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cache/DigestCache.h"
#include "cache/DigestMemory.h"
#include "platform/FileIo.h"
#include "platform/Md5.h"
#include "platform/SystemError.h"

namespace varo {

struct FileDigest {
    bool ok = false;
    std::string md5;         // 32 lowercase hexadecimal digits
    std::uint64_t size = 0;  // the bytes digested
    SystemError error;       // why the file could not be digested
    bool recalled = false;   // the digest came from the job's memory, the file was not read
    FileState state;         // the file as it was digested or recalled (when ok)
};

// A digest as manifests give it: 32 lower-case hex digits.
std::string Md5Hex(const Md5Digest& digest);

// A file is remembered only when its modification and change times are at
// least this much older than the moment its digest started: a file written
// within that time may change again within one tick of the coarsest file
// system clock (FAT keeps 2 seconds), and still show the same state.
inline constexpr int kRacySeconds = 2;

// Streams the file through MD5 in large chunks; never holds it whole. A file
// that grows, shrinks or is rewritten while it is read (resources still
// being copied) fails with kChangedWhileRead: its digest would match neither
// the old file nor the new one. `onBytes` hears of every chunk read. When
// `cancel` turns true the digest stops after the chunk at hand (ECANCELED).
// A failure of the system's MD5 fails the file (EIO), as a read error would.
FileDigest DigestFile(const std::string& path,
                      const std::function<void(std::uint64_t bytes)>& onBytes = {},
                      const std::atomic<bool>* cancel = nullptr);

// DigestFile that hands every chunk it reads to `sink` as well (a copy
// digested as it is made; none: DigestFile); a sink that answers false ends
// it with EIO.
FileDigest DigestFileThrough(const std::string& path,
                             const std::function<bool(std::string_view bytes)>& sink,
                             const std::function<void(std::uint64_t bytes)>& onBytes = {},
                             const std::atomic<bool>* cancel = nullptr);

// How far a digest job has come. `done` of `total` is the share of the work
// done: each file weighs the same, a file being read counts the part read so
// far, so that neither 100,000 small files nor a few huge ones leave the
// measure standing still; it never passes `total`, however the files change
// meanwhile, and the files need not be looked at before the job starts.
struct DigestProgressState {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    std::size_t filesDone = 0;
    std::size_t files = 0;
    std::uint64_t bytesRead = 0;
};
// Called from the worker threads, one call at a time, a few times a second
// and once at the end.
using DigestProgress = std::function<void(const DigestProgressState&)>;

struct DigestJob {
    std::vector<std::string> paths;
    int threads = 1;                            // at least one is used
    const std::atomic<bool>* cancel = nullptr;  // true: the files not yet done fail with ECANCELED
    DigestProgress onProgress;
    DigestMemory* memory = nullptr;  // files in a state it knows are not read
    // The state each file's folder listing gave (empty: none; otherwise one
    // per path, nothing for a path looked up by name): the memory is asked
    // by it, with no look at the file; a file read in another state than
    // listed is digested and not remembered.
    std::vector<std::optional<FileState>> listed{};
};

// The digest engine of both front ends: digests the files on the job's
// threads and returns their digests in the order of the paths. Whatever
// happens to one file (an exception included) fails that file only, and
// every thread the job starts has ended when it returns. When the disk is
// slow to give the files (a cold cache), a pool of readers asks the system
// for the files next in line, so that more reads are in flight than there
// are threads hashing.
std::vector<FileDigest> DigestFiles(const DigestJob& job);

// What a job with the cache gives: the digests, how many came from the
// cache, and why the cache was left alone, if it was.
struct CachedDigests {
    std::vector<FileDigest> digests;
    std::size_t recalled = 0;
    CacheProblem problem;
    // The cache being saved, when the job did not wait for it (see
    // FinishCacheSave); what went wrong, if anything.
    std::shared_future<CacheProblem> saving;
};

// How a job with the cache ends: once what it learned is saved, or at once,
// the save going on beside whatever the caller does next (the manifest made
// and written, say) until FinishCacheSave.
enum class CacheSave { Wait, Meanwhile };

// The digest engine with the cache at `cachePath` (empty: none): recalls
// what it can, digests the rest, remembers them. Both front ends use it.
CachedDigests DigestFilesWithCache(DigestJob& job, const std::string& cachePath,
                                   CacheSave save = CacheSave::Wait);

// Waits for a save left to go on beside the caller; why it failed, if it did.
CacheProblem FinishCacheSave(CachedDigests& digests);

// The number of threads a digest job uses unless told otherwise: one per
// hardware thread.
int DefaultDigestThreads();

}  // namespace varo
