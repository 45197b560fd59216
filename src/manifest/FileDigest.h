#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varo {

struct FileDigest {
    bool ok = false;
    std::string md5;         // 32 lowercase hexadecimal digits
    std::uint64_t size = 0;  // bytes
    std::string error;       // why the file could not be digested
    int errorCode = 0;       // its errno value, when the system gave one
};

// Streams the file through MD5 in large chunks; never holds it whole. A file
// whose length changes while it is read fails rather than give a digest and a
// size that do not belong together. `onBytes` hears of every chunk read. When
// `cancel` turns true the digest stops after the chunk at hand (ECANCELED).
FileDigest DigestFile(const std::string& path,
                      const std::function<void(std::uint64_t bytes)>& onBytes = {},
                      const std::atomic<bool>* cancel = nullptr);

// Digests the files on `jobs` threads (at least one); the results keep the
// order of `paths`. `onBytes` may be called from any of the threads.
std::vector<FileDigest> DigestFiles(const std::vector<std::string>& paths, int jobs,
                                    const std::function<void(std::uint64_t bytes)>& onBytes = {});

// The name after the last separator of a path ('/', on Windows '\\' too).
std::string BareFileName(const std::string& path);

}  // namespace varo
