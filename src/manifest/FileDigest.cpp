#include "manifest/FileDigest.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/FileIo.h"
#include "platform/Md5.h"

namespace varo {
namespace {

constexpr std::size_t kChunkSize = 1 << 20;

FileDigest Failure(const SystemError& error) {
    FileDigest digest;
    digest.error = error;
    return digest;
}

FileDigest Failure(int kind) {
    return Failure(ErrnoError(kind));
}

std::string Hex(const Md5Digest& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(32);
    for (const unsigned char byte : bytes) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
    }
    return text;
}

// The progress of a job as the files report their chunks: each file counts
// at most its weight, so a file that grows does not push the total past 100 %.
class ProgressCounter {
  public:
    ProgressCounter(const std::vector<std::string>& paths, DigestProgress onProgress)
        : onProgress_(std::move(onProgress)) {
        if (!onProgress_) {
            return;  // nobody listens: no sizes to look up
        }
        weights_.reserve(paths.size());
        for (const std::string& path : paths) {
            std::error_code error;
            const std::uintmax_t size = std::filesystem::file_size(FileSystemPath(path), error);
            weights_.push_back((error ? 0 : static_cast<std::uint64_t>(size)) + 1);
            total_ += weights_.back();
        }
    }

    // Adds `bytes` of a file that has counted `counted` so far; gives the new count.
    std::uint64_t AddChunk(std::size_t file, std::uint64_t counted, std::uint64_t bytes) {
        if (!onProgress_) {
            return counted + bytes;
        }
        const std::uint64_t room = weights_[file] - 1 - std::min(counted, weights_[file] - 1);
        Report(std::min(bytes, room));
        return counted + bytes;
    }

    // A file is done (digested, failed or cancelled): the rest of its weight.
    void Finish(std::size_t file, std::uint64_t counted) {
        if (!onProgress_) {
            return;
        }
        Report(weights_[file] - std::min(counted, weights_[file] - 1));
    }

  private:
    void Report(std::uint64_t bytes) {
        std::lock_guard lock(mutex_);
        done_ += bytes;
        onProgress_(std::min(done_, total_), total_);
    }

    DigestProgress onProgress_;
    std::vector<std::uint64_t> weights_;
    std::uint64_t total_ = 0;
    std::uint64_t done_ = 0;
    std::mutex mutex_;
};

}  // namespace

FileDigest DigestFile(const std::string& path,
                      const std::function<void(std::uint64_t bytes)>& onBytes,
                      const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
        return Failure(ECANCELED);
    }
    InputFile file;
    SystemError error;
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
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            return Failure(ECANCELED);
        }
        const std::int64_t count = file.Read(buffer.data(), buffer.size(), error);
        if (count < 0) {
            return Failure(error);
        }
        if (count == 0) {
            break;
        }
        if (!md5.Update(buffer.data(), static_cast<std::size_t>(count))) {
            return Failure(EIO);
        }
        total += static_cast<std::uint64_t>(count);
        if (onBytes) {
            onBytes(static_cast<std::uint64_t>(count));
        }
    }
    const std::optional<Md5Digest> finished = md5.Finish();
    if (!finished) {
        return Failure(EIO);
    }
    FileDigest digest;
    digest.ok = true;
    digest.size = total;
    digest.md5 = Hex(*finished);
    return digest;
}

std::vector<FileDigest> DigestFiles(const DigestJob& job) {
    const std::vector<std::string>& paths = job.paths;
    std::vector<FileDigest> digests(paths.size());
    ProgressCounter progress(paths, job.onProgress);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < paths.size(); i = next++) {
            std::uint64_t counted = 0;
            try {
                digests[i] = DigestFile(
                    paths[i],
                    [&](std::uint64_t bytes) { counted = progress.AddChunk(i, counted, bytes); },
                    job.cancel);
            } catch (const std::bad_alloc&) {
                digests[i] = Failure(ENOMEM);
            }
            if (job.cancel == nullptr || !job.cancel->load()) {
                progress.Finish(i, counted);  // a cancelled job stops where it was
            }
        }
    };
    const std::size_t wanted = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(job.threads, 1)), std::max<std::size_t>(paths.size(), 1));
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads than asked for: the others take the files
        }
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    return digests;
}

int DefaultDigestThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace varo
