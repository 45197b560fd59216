#include "manifest/FileDigest.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/FileIo.h"
#include "platform/Md5.h"

namespace varo {
namespace {

constexpr std::size_t kChunkSize = 1 << 20;

FileDigest Failure(int error) {
    FileDigest digest;
    digest.error = std::strerror(error);
    digest.errorCode = error;
    return digest;
}

}  // namespace

FileDigest DigestFile(const std::string& path,
                      const std::function<void(std::uint64_t bytes)>& onBytes,
                      const std::atomic<bool>* cancel) {
    InputFile file;
    int error = 0;
    if (!file.Open(path, error)) {
        return Failure(error);
    }
    Md5 md5;
    if (!md5.Ok()) {
        return Failure(ENOMEM);
    }
    std::vector<unsigned char> buffer(kChunkSize);
    std::uint64_t total = 0;
    for (;;) {
        const std::int64_t count = file.Read(buffer.data(), buffer.size(), error);
        if (count < 0) {
            return Failure(error);
        }
        if (count == 0) {
            break;
        }
        md5.Update(buffer.data(), static_cast<std::size_t>(count));
        total += static_cast<std::uint64_t>(count);
        if (onBytes) {
            onBytes(static_cast<std::uint64_t>(count));
        }
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            return Failure(ECANCELED);
        }
    }
    if (total != file.Size()) {
        FileDigest digest;
        digest.error = "the file changed while it was read";
        return digest;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    FileDigest digest;
    digest.ok = true;
    digest.size = total;
    for (const unsigned char byte : md5.Finish()) {
        digest.md5 += kHex[byte >> 4];
        digest.md5 += kHex[byte & 0x0F];
    }
    return digest;
}

std::vector<FileDigest> DigestFiles(const std::vector<std::string>& paths, int jobs,
                                    const std::function<void(std::uint64_t bytes)>& onBytes) {
    std::vector<FileDigest> digests(paths.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < paths.size(); i = next++) {
            digests[i] = DigestFile(paths[i], onBytes);
        }
    };
    const std::size_t threadCount = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(jobs, 1)), std::max<std::size_t>(paths.size(), 1));
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threadCount; ++t) {
        helpers.emplace_back(work);
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    return digests;
}

std::string BareFileName(const std::string& path) {
    const std::size_t slash = path.find_last_of(PathSeparators());
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace varo
