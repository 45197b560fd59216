#include "manifest/FileDigest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace varo {
namespace {

constexpr std::size_t kChunkSize = 1 << 20;

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

struct FileCloser {
    void operator()(const int* fd) const { ::close(*fd); }
};

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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Failure(errno);
    }
    const std::unique_ptr<const int, FileCloser> closer(&fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return Failure(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return Failure(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    const std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) {
        return Failure(ENOMEM);
    }
    std::vector<unsigned char> buffer(kChunkSize);
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Failure(errno);
        }
        if (count == 0) {
            break;
        }
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(count));
        total += static_cast<std::uint64_t>(count);
        if (onBytes) {
            onBytes(static_cast<std::uint64_t>(count));
        }
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            return Failure(ECANCELED);
        }
    }
    if (total != static_cast<std::uint64_t>(info.st_size)) {
        FileDigest digest;
        digest.error = "the file changed while it was read";
        return digest;
    }
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), md, &length);

    static constexpr char kHex[] = "0123456789abcdef";
    FileDigest digest;
    digest.ok = true;
    digest.size = total;
    for (unsigned int i = 0; i < length; ++i) {
        digest.md5 += kHex[md[i] >> 4];
        digest.md5 += kHex[md[i] & 0x0F];
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
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace varo
