#include "digest/FileDigest.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <type_traits>

#include "digest/Md5Lanes.h"
#include "platform/FileIo.h"
#include "platform/Md5.h"
#include "platform/Path.h"
#include "text/Printable.h"

namespace varo {
namespace {

constexpr std::size_t kChunkSize = 1 << 20;
// Files up to this size are read whole into a lane of the vector digest;
// larger ones stream through a lane a piece of this size at a time (a
// whole number of MD5 blocks).
constexpr std::uint64_t kLaneFileSize = 256u << 10;
constexpr std::size_t kPieceSize = 256u << 10;

// The readers ahead: how many, how many files at most ahead of the hashing
// threads, and how much of each file they ask for.
constexpr int kReadersAhead = 8;
// When this many of a window of files read in a row had their bytes come
// from the disk, not from the system's cache, the readers ahead are worth
// their cost. A warm tree meets a few such files at busy moments, scattered
// over the whole job: they never gather in one window.
constexpr int kSlowFilesToReadAhead = 8;
constexpr int kSlowFilesWindow = 64;
constexpr std::size_t kFilesAhead = 128;
constexpr std::uint64_t kBytesAheadPerFile = 4u << 20;
constexpr std::uint64_t kBytesAhead = 128u << 20;

FileDigest Failure(const SystemError& error) {
    FileDigest digest;
    digest.error = error;
    return digest;
}

FileDigest Failure(int kind) {
    return Failure(ErrnoError(kind));
}

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// The end of reading `total` bytes of `file`, opened by `path`: a failure
// unless they are the whole file as it was opened, and `path` still names it so.
SystemError ReadEnded(const InputFile& file, const std::string& path, std::uint64_t total) {
    if (total != file.Size()) {
        return ErrnoError(kChangedWhileRead);
    }
    SystemError error;
    return file.Unchanged(path, error) ? SystemError{} : error;
}

// What one thread needs to digest file after file: its read buffer (never
// cleared: every byte used was read) and its MD5 object, made once.
class DigestWorker {
  public:
    DigestWorker() : buffer_(new unsigned char[kChunkSize]) {}

    // `onBytes(count, size)` after every chunk of the file of that size. The file's state as it was
    // read goes to `state`; `slow` turns true when the file's first bytes had to come from the
    // disk.
    template <typename OnBytes, typename Sink = bool (*)(std::string_view)>
    FileDigest Digest(const std::string& path, OnBytes&& onBytes, const std::atomic<bool>* cancel,
                      FileState* state = nullptr, bool* slow = nullptr, Sink sink = nullptr) {
        if (Cancelled(cancel)) {
            return Failure(ECANCELED);
        }
        InputFile file;
        SystemError error;
        if (!file.Open(path, error)) {
            return Failure(error);
        }
        return DigestOpened(file, path, onBytes, cancel, state, slow, sink);
    }

    // The same for a file opened already by `path`. `sink`, when given, takes
    // every chunk as it was read (false: stop, EIO).
    template <typename OnBytes, typename Sink = bool (*)(std::string_view)>
    FileDigest DigestOpened(InputFile& file, const std::string& path, OnBytes&& onBytes,
                            const std::atomic<bool>* cancel, FileState* state = nullptr,
                            bool* slow = nullptr, Sink sink = nullptr) {
        SystemError error;
        if (used_ && !md5_.Restart()) {
            return Failure(EIO);
        }
        if (!md5_.Ok()) {
            return Failure(ENOMEM);
        }
        used_ = true;
        // The file's length as opened: a read that ends sooner, or a length
        // or time that differs afterwards, means it changed meanwhile.
        std::uint64_t total = 0;
        while (total < file.Size()) {
            if (Cancelled(cancel)) {
                return Failure(ECANCELED);
            }
            const std::int64_t count = total == 0 && slow != nullptr
                                           ? file.Read(buffer_.get(), kChunkSize, error, *slow)
                                           : file.Read(buffer_.get(), kChunkSize, error);
            if (count < 0) {
                return Failure(error);
            }
            if (count == 0) {
                break;
            }
            if (!md5_.Update(buffer_.get(), static_cast<std::size_t>(count))) {
                return Failure(EIO);
            }
            if constexpr (!std::is_pointer_v<Sink>) {
                if (!sink(std::string_view(reinterpret_cast<const char*>(buffer_.get()),
                                           static_cast<std::size_t>(count)))) {
                    return Failure(EIO);
                }
            }
            total += static_cast<std::uint64_t>(count);
            onBytes(static_cast<std::uint64_t>(count), file.Size());
        }
        if (const SystemError changed = ReadEnded(file, path, total)) {
            return Failure(changed);
        }
        if (state != nullptr) {
            *state = file.State();
        }
        const std::optional<Md5Digest> finished = md5_.Finish();
        if (!finished) {
            return Failure(EIO);
        }
        FileDigest digest;
        digest.ok = true;
        digest.size = total;
        digest.md5 = Md5Hex(*finished);
        digest.state = file.State();
        return digest;
    }

  private:
    std::unique_ptr<unsigned char[]> buffer_;
    Md5 md5_;
    bool used_ = false;
};

// The progress of a job as the files report their chunks: counters the
// threads add to without waiting for each other, read out a few times a second.
class ProgressCounter {
  public:
    // The share each file weighs.
    static constexpr std::uint64_t kFileUnits = 1 << 20;

    ProgressCounter(std::size_t files, DigestProgress onProgress)
        : onProgress_(std::move(onProgress)), files_(files) {}

    // Adds `bytes` of a file of `size` that has counted `counted` so far;
    // gives the new count. Nobody listening: nothing shared is touched.
    std::uint64_t AddChunk(std::uint64_t counted, std::uint64_t bytes, std::uint64_t size) {
        const std::uint64_t now = counted + bytes;
        if (!onProgress_) {
            return now;
        }
        bytesRead_ += bytes;
        done_ += Units(now, size) - Units(counted, size);
        Report(false);
        return now;
    }

    // A file is done (digested, failed or cancelled): the rest of its share.
    void Finish(std::uint64_t counted, std::uint64_t size) {
        if (!onProgress_) {
            return;
        }
        done_ += kFileUnits - Units(counted, size);
        ++filesDone_;
        Report(false);
    }

    // The last report, after every thread has ended.
    void Final() { Report(true); }

  private:
    static std::uint64_t Units(std::uint64_t counted, std::uint64_t size) {
        // A file that grew counts no more than its share.
        return size == 0 ? 0 : std::min(counted, size) * kFileUnits / size;
    }

    void Report(bool last) {
        if (!onProgress_) {
            return;
        }
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        std::int64_t due = nextReport_.load(std::memory_order_relaxed);
        if (!last &&
            (now < due || !nextReport_.compare_exchange_strong(due, now + kReportEvery.count()))) {
            return;
        }
        // One call at a time, each with numbers no smaller than the last.
        std::lock_guard lock(mutex_);
        DigestProgressState state;
        state.total = files_ * kFileUnits;
        state.done = std::min(done_.load(), state.total);
        state.files = files_;
        state.filesDone = filesDone_.load();
        state.bytesRead = bytesRead_.load();
        // The listener's failure is no file's failure: the digests go on.
        try {
            onProgress_(state);
        } catch (...) {
        }
    }

    static constexpr std::chrono::steady_clock::duration kReportEvery =
        std::chrono::milliseconds(50);

    DigestProgress onProgress_;
    const std::uint64_t files_;
    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::uint64_t> bytesRead_{0};
    std::atomic<std::size_t> filesDone_{0};
    std::atomic<std::int64_t> nextReport_{0};
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
    return DigestFileThrough(path, {}, onBytes, cancel);
}

FileDigest DigestFileThrough(const std::string& path,
                             const std::function<bool(std::string_view bytes)>& sink,
                             const std::function<void(std::uint64_t bytes)>& onBytes,
                             const std::atomic<bool>* cancel) {
    try {
        DigestWorker worker;
        return worker.Digest(
            path,
            [&](std::uint64_t bytes, std::uint64_t) {
                if (onBytes) {
                    onBytes(bytes);
                }
            },
            cancel, nullptr, nullptr,
            [&sink](std::string_view bytes) { return !sink || sink(bytes); });
    } catch (const std::bad_alloc&) {
        return Failure(ENOMEM);
    }
}

namespace {

// One job: the hashing threads take file after file; when the disk turns out
// to be slow, the readers ahead start asking for the files next in line.
class DigestEngine {
  public:
    explicit DigestEngine(const DigestJob& job)
        : job_(job),
          digests_(job.paths.size()),
          progress_(job.paths.size(), job.onProgress),
          prefetched_(std::make_unique<std::atomic<std::uint64_t>[]>(job.paths.size())) {}

    std::vector<FileDigest> Run() {
        const std::size_t files = job_.paths.size();
        const std::size_t hashing = std::min<std::size_t>(
            static_cast<std::size_t>(std::max(job_.threads, 1)), std::max<std::size_t>(files, 1));
        // More readers than files ahead would only wait; a job of a few files needs none.
        const std::size_t readers = files > hashing ? kReadersAhead : 0;
        // A few large files are shared out among the threads, not all taken
        // into the lanes of the first.
        hashing_ = hashing;
        share_ = static_cast<int>(
            std::clamp<std::size_t>((files + hashing - 1) / hashing, 1, Md5Lanes::kMaxLanes));
        const auto hash = [this]() noexcept { Hash(); };
        const auto readAhead = [this]() noexcept { ReadAhead(); };
        if (job_.memory != nullptr) {
            RecallKnown(hashing);
        }
        {
            ThreadJoiner helpers(hashing - 1 + readers);
            for (std::size_t t = 0; t < readers && helpers.Start(readAhead); ++t) {
            }
            for (std::size_t t = 1; t < hashing && helpers.Start(hash); ++t) {
            }
            hash();  // this thread takes files too; fewer helpers than asked: more for it
            Stop();
        }
        if (!Cancelled(job_.cancel)) {
            progress_.Final();
        }
        return std::move(digests_);
    }

  private:
    // The reads of one hashing thread in the current window: how many, and
    // how many came from the disk. Each thread counts its own, so that no
    // counter is shared between cores on every file.
    struct ReadWindow {
        int files = 0;
        int fromDisk = 0;
    };

    // A file in a lane of the vector digest, until the lane is done with it.
    struct LaneFile {
        std::size_t index = 0;
        FileState state;
        std::int64_t started = 0;
        std::uint64_t counted = 0;  // for the progress
        // A large file, open while it streams through the lane, and how much
        // of it was read.
        std::unique_ptr<InputFile> file;
        std::uint64_t read = 0;
    };

    // A hashing thread: small files go into the lanes of a vector digest,
    // several at once; large ones stream through MD5 on their own.
    void Hash() noexcept {
        std::unique_ptr<DigestWorker> worker;
        std::unique_ptr<Md5Lanes> lanes;
        try {
            worker = std::make_unique<DigestWorker>();
            lanes = std::make_unique<Md5Lanes>();
        } catch (...) {
        }
        std::array<LaneFile, Md5Lanes::kMaxLanes> inLane;
        std::array<Md5Digest, Md5Lanes::kMaxLanes> finished;
        ReadWindow window;
        bool more = true;
        while (more || (lanes != nullptr && lanes->AnyBusy())) {
            // The free lanes take the files next in line; a file that needs
            // no lane (recalled, failed, large) is done at once.
            const int laneCount = lanes != nullptr ? lanes->Lanes() : 1;
            for (int lane = 0; lane < std::min(laneCount, share_) && more; ++lane) {
                while (more && (lanes == nullptr || lanes->Free(lane))) {
                    const std::size_t at = next_++;
                    if (at >= Pending()) {
                        more = false;
                    } else if (Take(FileAt(at), Pending() - at - 1, worker.get(), lanes.get(), lane,
                                    inLane[lane], window)) {
                        break;
                    }
                }
            }
            if (lanes == nullptr || !lanes->AnyBusy()) {
                continue;
            }
            // The streamed files whose lane has digested their last piece read their next.
            for (int lane = 0; lane < laneCount; ++lane) {
                if (lanes->Hungry(lane)) {
                    FeedPiece(*lanes, lane, inLane[static_cast<std::size_t>(lane)], window);
                }
            }
            try {
                for (const int lane : lanes->Run(finished)) {
                    LaneFile& file = inLane[static_cast<std::size_t>(lane)];
                    FileDigest digest;
                    digest.ok = true;
                    digest.size = file.state.size;
                    digest.md5 = Md5Hex(finished[static_cast<std::size_t>(lane)]);
                    digest.state = file.state;
                    Complete(file.index, std::move(digest), file.counted, file.state.size,
                             &file.state, file.started);
                }
            } catch (...) {
                // Memory ran out: the files in the lanes fail, new lanes go on.
                for (int lane = 0; lane < laneCount; ++lane) {
                    LaneFile& file = inLane[static_cast<std::size_t>(lane)];
                    if (!lanes->Free(lane)) {
                        Complete(file.index, Failure(ENOMEM), file.counted, file.state.size,
                                 nullptr, 0);
                    }
                    file.file.reset();
                }
                lanes.reset();
            }
        }
    }

    // Digests file `i`, with `after` files still to take after it, at once,
    // or puts it into `lane` (true); in either case the file is done or in hand.
    bool Take(std::size_t i, std::size_t after, DigestWorker* worker, Md5Lanes* lanes, int lane,
              LaneFile& slot, ReadWindow& window) {
        const std::string& path = job_.paths[i];
        DigestMemory* memory = job_.memory;
        std::uint64_t counted = 0;
        std::uint64_t size = 0;
        FileState state;
        bool haveState = false;
        const std::int64_t started = memory != nullptr ? FileTimeNow() : 0;
        FileDigest digest;
        try {
            if (worker == nullptr) {
                digest = Failure(ENOMEM);
            } else if (Cancelled(job_.cancel)) {
                digest = Failure(ECANCELED);
            } else {
                auto opened = std::make_unique<InputFile>();
                InputFile& file = *opened;
                SystemError error;
                if (!file.Open(path, error)) {
                    digest = Failure(error);
                } else if (lanes != nullptr && file.Size() <= kLaneFileSize) {
                    // Read whole into the lane: the file as it is now, or a failure.
                    bool slow = false;
                    const SystemError failed =
                        ReadWhole(file, path, lanes->Message(lane, file.Size()), slow);
                    NoteSlow(slow, window);
                    if (!failed) {
                        lanes->Start(lane);
                        slot = {i, file.State(), started, file.Size(), nullptr, 0};
                        progress_.AddChunk(0, file.Size(), file.Size());
                        return true;
                    }
                    digest = Failure(failed);
                } else if (lanes != nullptr && !AloneAtTheEnd(after, *lanes)) {
                    // Streamed through the lane beside the others, a piece at a time.
                    slot = {i, file.State(), started, 0, std::move(opened), 0};
                    lanes->Open(lane);
                    FeedPiece(*lanes, lane, slot, window);
                    return !lanes->Free(lane);
                } else {
                    bool slow = false;
                    size = file.Size();
                    digest = worker->DigestOpened(
                        file, path,
                        [&](std::uint64_t bytes, std::uint64_t fileSize) {
                            counted = progress_.AddChunk(counted, bytes, fileSize);
                        },
                        job_.cancel, &state, &slow);
                    haveState = digest.ok;
                    NoteSlow(slow, window);
                }
            }
        } catch (const std::bad_alloc&) {
            digest = Failure(ENOMEM);
        } catch (...) {
            digest = Failure(EIO);
        }
        Complete(i, std::move(digest), counted, size, haveState ? &state : nullptr, started);
        return false;
    }

    // True for a large file that would likely have the thread's lanes to
    // itself: taken while no lane is busy, with fewer files left than there
    // are threads to take them. One stream alone runs fastest through the
    // system's MD5.
    bool AloneAtTheEnd(std::size_t after, const Md5Lanes& lanes) const {
        return after < hashing_ && !lanes.AnyBusy();
    }

    // The files the hashing threads take, in order: all of them, or those
    // the memory did not give.
    std::size_t Pending() const { return recallFirst_ ? pending_.size() : job_.paths.size(); }
    std::size_t FileAt(std::size_t at) const { return recallFirst_ ? pending_[at] : at; }

    // Looks up every file the memory knows before any is read, on `threads`
    // threads, each a stretch of files of its own (so that no two cores
    // write next to each other, file after file); the others are pending.
    void RecallKnown(std::size_t threads) {
        constexpr std::size_t kStretch = 512;
        const std::size_t files = job_.paths.size();
        const std::size_t stretches = (files + kStretch - 1) / kStretch;
        std::vector<std::vector<std::size_t>> left(stretches);
        std::atomic<std::size_t> nextStretch{0};
        const auto recall = [&]() noexcept {
            FolderLookup lookup;
            for (std::size_t s = nextStretch++; s < stretches; s = nextStretch++) {
                std::vector<std::size_t>& missed = left[s];
                for (std::size_t i = s * kStretch; i < std::min(files, (s + 1) * kStretch); ++i) {
                    std::optional<FileDigest> recalled;
                    try {
                        if (!Cancelled(job_.cancel)) {
                            recalled = Recall(i, lookup);
                        }
                        if (!recalled) {
                            missed.push_back(i);
                            continue;
                        }
                    } catch (...) {
                        recalled = Failure(ENOMEM);
                    }
                    Complete(i, std::move(*recalled), 0, 0, nullptr, 0);
                }
            }
        };
        {
            ThreadJoiner helpers(threads - 1);
            for (std::size_t t = 1; t < std::min(threads, stretches) && helpers.Start(recall);
                 ++t) {
            }
            recall();
        }
        std::size_t count = 0;
        for (const std::vector<std::size_t>& missed : left) {
            count += missed.size();
        }
        pending_.reserve(count);
        for (const std::vector<std::size_t>& missed : left) {
            pending_.insert(pending_.end(), missed.begin(), missed.end());
        }
        recallFirst_ = true;
    }

    // Reads the next piece of the file streaming through `lane` into it; the
    // last piece ends the read, which must have found the file as it was
    // opened. A failure, or a cancelled job, frees the lane and fails the file.
    void FeedPiece(Md5Lanes& lanes, int lane, LaneFile& slot, ReadWindow& window) {
        InputFile& file = *slot.file;
        const std::string& path = job_.paths[slot.index];
        const std::uint64_t size = file.Size();
        SystemError error;
        try {
            if (Cancelled(job_.cancel)) {
                error = ErrnoError(ECANCELED);
            } else {
                const auto wanted =
                    static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, size - slot.read));
                unsigned char* into = lanes.Piece(lane, wanted);
                std::size_t got = 0;
                while (got < wanted) {
                    bool slow = false;
                    const bool first = slot.read == 0 && got == 0;
                    const std::int64_t count = first ? file.Read(into, wanted, error, slow)
                                                     : file.Read(into + got, wanted - got, error);
                    if (first) {
                        NoteSlow(slow, window);
                    }
                    if (count <= 0) {
                        break;
                    }
                    got += static_cast<std::size_t>(count);
                }
                if (got == wanted) {
                    slot.read += got;
                    slot.counted = progress_.AddChunk(slot.counted, got, size);
                    const bool last = slot.read == size;
                    if (!last || !(error = ReadEnded(file, path, slot.read))) {
                        lanes.Feed(lane, last);
                        if (last) {
                            slot.state = file.State();
                            slot.file.reset();
                        }
                        return;
                    }
                } else if (!error) {
                    error = ErrnoError(kChangedWhileRead);  // shorter than when it was opened
                }
            }
        } catch (const std::bad_alloc&) {
            error = ErrnoError(ENOMEM);
        }
        lanes.Abandon(lane);
        slot.file.reset();
        Complete(slot.index, Failure(error), slot.counted, size, nullptr, 0);
    }

    // The digest the job's memory has for the file as it is now, if any;
    // the file is looked at through `lookup` unless its listing gave its state.
    std::optional<FileDigest> Recall(std::size_t i, FolderLookup& lookup) {
        DigestMemory* memory = job_.memory;
        const std::string& path = job_.paths[i];
        if (memory == nullptr || !memory->Knows(i)) {
            return std::nullopt;
        }
        FileState state;
        if (const std::optional<FileState>* listed = Listed(i); listed != nullptr && *listed) {
            state = **listed;
        } else if (SystemError error; !lookup.StatFile(path, state, error)) {
            return Failure(error);
        }
        std::optional<std::string> md5 = memory->Recall(i, state);
        if (!md5) {
            return std::nullopt;
        }
        FileDigest digest;
        digest.ok = true;
        digest.md5 = std::move(*md5);
        digest.size = state.size;
        digest.recalled = true;
        digest.state = state;
        return digest;
    }

    // Reads the whole file, of the length it was opened with, into `into`;
    // the failure, if any.
    static SystemError ReadWhole(InputFile& file, const std::string& path, unsigned char* into,
                                 bool& slow) {
        SystemError error;
        std::uint64_t total = 0;
        while (total < file.Size()) {
            const auto wanted = static_cast<std::size_t>(file.Size() - total);
            const std::int64_t count = total == 0 ? file.Read(into, wanted, error, slow)
                                                  : file.Read(into + total, wanted, error);
            if (count < 0) {
                return error;
            }
            if (count == 0) {
                break;
            }
            total += static_cast<std::uint64_t>(count);
        }
        return ReadEnded(file, path, total);
    }

    // Several files from the disk among the last few a thread read, not some
    // that met a busy moment, start the readers ahead.
    void NoteSlow(bool slow, ReadWindow& window) {
        if (++window.files > kSlowFilesWindow) {
            window = {1, 0};
        }
        window.fromDisk += slow ? 1 : 0;
        if (window.fromDisk >= kSlowFilesToReadAhead &&
            !readersStarted_.load(std::memory_order_relaxed) && !readersStarted_.exchange(true)) {
            {
                std::lock_guard lock(mutex_);
                slow_ = true;
            }
            wake_.notify_all();
        }
    }

    // The state the listing gave file `i`, if the job has listings.
    const std::optional<FileState>* Listed(std::size_t i) const {
        return i < job_.listed.size() ? &job_.listed[i] : nullptr;
    }

    // File `i` is done: its digest, what of it was read (for the progress),
    // and its state when it was read, to remember the digest by.
    void Complete(std::size_t i, FileDigest digest, std::uint64_t counted, std::uint64_t size,
                  const FileState* state, std::int64_t started) {
        DigestMemory* memory = job_.memory;
        // Only a file clearly older than this digest is remembered.
        const std::int64_t racy = kRacySeconds * FileTimeUnitsPerSecond();
        // Nor one read in another state than its listing gave: the listing
        // may lag behind the file, and the next look-up asks the listing.
        const std::optional<FileState>* listed = Listed(i);
        if (digest.ok && !digest.recalled && memory != nullptr && state != nullptr &&
            std::max(state->modified, state->changed) <= started - racy &&
            (listed == nullptr || !*listed || **listed == *state)) {
            try {
                memory->Remember(i, *state, digest.md5);
            } catch (...) {
                // Not remembered: the next job digests the file again.
            }
        }
        digests_[i] = std::move(digest);
        if (!Cancelled(job_.cancel)) {
            progress_.Finish(counted, size);  // a cancelled job stops where it was
        }
        // What a reader ahead fetched of it is no longer ahead. Most files
        // were never fetched ahead: the shared count is left alone for them.
        // (A load in the same total order as the reader's store and its look
        // at next_: one of the two sees the other.)
        if (prefetched_[i].load() != 0) {
            bytesAhead_ -= prefetched_[i].exchange(0);
        }
    }

    // A reader ahead: once the disk is slow, asks the system for the files a
    // little ahead of the hashing threads, never more than kFilesAhead ahead.
    void ReadAhead() noexcept {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return slow_ || stopped_; });
        }
        for (;;) {
            std::size_t i = ahead_++;
            const std::size_t hashing = next_.load();
            if (i < hashing) {
                // The hashing threads passed it already: go on from where they are.
                std::size_t expected = i + 1;
                ahead_.compare_exchange_strong(expected, hashing);
                continue;
            }
            if (i >= Pending()) {
                return;
            }
            // Far enough ahead (in files, or in bytes asked for): a short nap,
            // not a wake-up call from every file. The very next files are
            // always asked for.
            while (i >= next_.load() + kFilesAhead ||
                   (bytesAhead_.load() > kBytesAhead && i > next_.load() + 1)) {
                if (finished_.load()) {
                    return;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            if (finished_.load() || Cancelled(job_.cancel)) {
                return;
            }
            try {
                // Every file left to take is read: the memory was asked first.
                const std::size_t f = FileAt(i);
                InputFile file;
                SystemError ignored;
                if (file.Open(job_.paths[f], ignored)) {
                    const std::uint64_t bytes = std::min(file.Size(), kBytesAheadPerFile);
                    file.Prefetch(bytes);
                    bytesAhead_ += bytes;
                    prefetched_[f] = bytes;
                    // A hashing thread that took the file meanwhile may have
                    // found nothing to take off: whoever comes second does.
                    if (next_.load() > i) {
                        bytesAhead_ -= prefetched_[f].exchange(0);
                    }
                }
            } catch (...) {
                // A reader ahead only helps; what goes wrong here, the hashing meets itself.
            }
        }
    }

    void Stop() {
        finished_ = true;
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
    }

    const DigestJob& job_;
    std::size_t hashing_ = 1;  // threads
    int share_ = 1;            // the most lanes a thread fills
    std::vector<FileDigest> digests_;
    ProgressCounter progress_;
    // Set before the threads start: the memory was asked first, and the files
    // it did not give are pending_, in order.
    bool recallFirst_ = false;
    std::vector<std::size_t> pending_;
    // Places in the order of files to take (see FileAt).
    std::atomic<std::size_t> next_{0};   // the next file for a hashing thread
    std::atomic<std::size_t> ahead_{0};  // the next file for a reader ahead
    // Per file the bytes a reader asked for, and their sum for the files not done yet.
    std::unique_ptr<std::atomic<std::uint64_t>[]> prefetched_;
    std::atomic<std::uint64_t> bytesAhead_{0};
    std::atomic<bool> readersStarted_{false};
    std::atomic<bool> finished_{false};
    std::mutex mutex_;  // guards slow_ and stopped_, which the readers wait for
    std::condition_variable wake_;
    bool slow_ = false;
    bool stopped_ = false;
};

}  // namespace

std::vector<FileDigest> DigestFiles(const DigestJob& job) {
    return DigestEngine(job).Run();
}

int DefaultDigestThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

CachedDigests DigestFilesWithCache(DigestJob& job, const std::string& cachePath, CacheSave save) {
    CachedDigests result;
    if (cachePath.empty()) {
        result.digests = DigestFiles(job);
        return result;
    }
    // The job reads the files by their full paths too; its caller keeps the
    // paths as they were given.
    SystemError noFolder;
    std::optional<std::vector<std::string>> full = FullPaths(job.paths, &noFolder);
    if (noFolder) {
        // Relative names without the folder they are in would key the cache wrongly.
        result.problem = {CacheProblem::Kind::NoPlace, noFolder, 0, {}};
        result.digests = DigestFiles(job);
        return result;
    }
    // The files are read by the paths given; the cache knows them by their
    // full paths.
    auto cache = std::make_unique<DigestCache>(cachePath, full ? *full : job.paths);
    result.problem = cache->Problem();
    job.memory = result.problem ? nullptr : cache.get();
    result.digests = DigestFiles(job);
    job.memory = nullptr;
    result.recalled = static_cast<std::size_t>(
        std::count_if(result.digests.begin(), result.digests.end(),
                      [](const FileDigest& digest) { return digest.recalled; }));
    if (result.problem) {
        return result;
    }
    const auto saved = [](std::unique_ptr<DigestCache> cache) {
        CacheProblem problem;
        if (!cache->Save()) {
            problem = cache->Problem();
        }
        return problem;
    };
    if (save == CacheSave::Meanwhile) {
        try {
            result.saving = std::async(std::launch::async, saved, std::move(cache)).share();
            return result;
        } catch (const std::system_error&) {
            // No thread for it: saved here and now.
        }
    }
    result.problem = saved(std::move(cache));
    return result;
}

CacheProblem FinishCacheSave(CachedDigests& digests) {
    if (!digests.saving.valid()) {
        return {};
    }
    CacheProblem problem = digests.saving.get();
    digests.saving = {};
    if (!digests.problem) {
        digests.problem = problem;
    }
    return problem;
}

std::string Md5Hex(const Md5Digest& digest) {
    std::string text;
    text.reserve(2 * digest.size());
    for (const unsigned char byte : digest) {
        AppendHexByte(text, byte, /*lower=*/true);
    }
    return text;
}

}  // namespace varo
