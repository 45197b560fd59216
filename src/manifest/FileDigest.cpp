#include "manifest/FileDigest.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
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
    std::string text(32, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = kHex[bytes[i] >> 4];
        text[2 * i + 1] = kHex[bytes[i] & 0x0F];
    }
    return text;
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// What one thread needs to digest file after file: its read buffer (never
// cleared: every byte used was read) and its MD5 object, made once.
class DigestWorker {
  public:
    DigestWorker() : buffer_(new unsigned char[kChunkSize]) {}

    // `onBytes(count)` after every chunk.
    template <typename OnBytes>
    FileDigest Digest(const std::string& path, OnBytes&& onBytes, const std::atomic<bool>* cancel) {
        if (Cancelled(cancel)) {
            return Failure(ECANCELED);
        }
        InputFile file;
        SystemError error;
        if (!file.Open(path, error)) {
            return Failure(error);
        }
        if (used_ && !md5_.Restart()) {
            return Failure(EIO);
        }
        if (!md5_.Ok()) {
            return Failure(ENOMEM);
        }
        used_ = true;
        std::uint64_t total = 0;
        for (;;) {
            if (Cancelled(cancel)) {
                return Failure(ECANCELED);
            }
            const std::int64_t count = file.Read(buffer_.get(), kChunkSize, error);
            if (count < 0) {
                return Failure(error);
            }
            if (count == 0) {
                break;
            }
            if (!md5_.Update(buffer_.get(), static_cast<std::size_t>(count))) {
                return Failure(EIO);
            }
            total += static_cast<std::uint64_t>(count);
            onBytes(static_cast<std::uint64_t>(count));
        }
        // The bytes read must be the file as it was opened, and still is.
        if (total != file.Size()) {
            return Failure(kChangedWhileRead);
        }
        if (!file.Unchanged(error)) {
            return Failure(error);
        }
        const std::optional<Md5Digest> finished = md5_.Finish();
        if (!finished) {
            return Failure(EIO);
        }
        FileDigest digest;
        digest.ok = true;
        digest.size = total;
        digest.md5 = Hex(*finished);
        return digest;
    }

  private:
    std::unique_ptr<unsigned char[]> buffer_;
    Md5 md5_;
    bool used_ = false;
};

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

    bool Listening() const { return static_cast<bool>(onProgress_); }

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
        // The listener's failure is no file's failure: the digests go on.
        try {
            onProgress_(std::min(done_, total_), total_);
        } catch (...) {
        }
    }

    DigestProgress onProgress_;
    std::vector<std::uint64_t> weights_;
    std::uint64_t total_ = 0;
    std::uint64_t done_ = 0;
    std::mutex mutex_;
};

// Joins the helper threads when it goes, however the job ends.
class ThreadJoiner {
  public:
    explicit ThreadJoiner(std::size_t count) { threads_.reserve(count); }
    ~ThreadJoiner() {
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    ThreadJoiner(const ThreadJoiner&) = delete;
    ThreadJoiner& operator=(const ThreadJoiner&) = delete;

    // False when the system would start no more threads.
    template <typename Work>
    bool Start(Work& work) {
        try {
            threads_.emplace_back(std::ref(work));
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

  private:
    std::vector<std::thread> threads_;
};

}  // namespace

FileDigest DigestFile(const std::string& path,
                      const std::function<void(std::uint64_t bytes)>& onBytes,
                      const std::atomic<bool>* cancel) {
    try {
        DigestWorker worker;
        return worker.Digest(
            path,
            [&](std::uint64_t bytes) {
                if (onBytes) {
                    onBytes(bytes);
                }
            },
            cancel);
    } catch (const std::bad_alloc&) {
        return Failure(ENOMEM);
    }
}

std::vector<FileDigest> DigestFiles(const DigestJob& job) {
    const std::vector<std::string>& paths = job.paths;
    std::vector<FileDigest> digests(paths.size());
    ProgressCounter progress(paths, job.onProgress);
    std::atomic<std::size_t> next{0};
    // Each thread takes the next file until none is left; nothing that goes
    // wrong with one file leaves the thread.
    const auto work = [&]() noexcept {
        std::unique_ptr<DigestWorker> worker;
        try {
            worker = std::make_unique<DigestWorker>();
        } catch (...) {
        }
        for (std::size_t i = next++; i < paths.size(); i = next++) {
            std::uint64_t counted = 0;
            try {
                if (worker == nullptr) {
                    digests[i] = Failure(ENOMEM);
                } else if (progress.Listening()) {
                    digests[i] = worker->Digest(
                        paths[i],
                        [&](std::uint64_t bytes) {
                            counted = progress.AddChunk(i, counted, bytes);
                        },
                        job.cancel);
                } else {
                    digests[i] = worker->Digest(
                        paths[i], [](std::uint64_t) {}, job.cancel);
                }
            } catch (const std::bad_alloc&) {
                digests[i] = Failure(ENOMEM);
            } catch (...) {
                digests[i] = Failure(EIO);
            }
            if (!Cancelled(job.cancel)) {
                progress.Finish(i, counted);  // a cancelled job stops where it was
            }
        }
    };
    const std::size_t wanted = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(job.threads, 1)), std::max<std::size_t>(paths.size(), 1));
    {
        ThreadJoiner helpers(wanted - 1);
        for (std::size_t t = 1; t < wanted && helpers.Start(work); ++t) {
        }
        work();  // this thread takes files too; fewer helpers than asked: more for it
    }
    return digests;
}

int DefaultDigestThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace varo
