#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "digest/FileDigest.h"
#include "platform/CommandLineProcess.h"

namespace varo::cli {

// A progress line on stderr, redrawn a few times a second until stopped.
class ProgressBar {
  public:
    ProgressBar() : thread_([this] { Run(); }) {}
    ~ProgressBar() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
        thread_.join();
        Draw();
        WriteStandardError("\n");
    }
    // From the digest threads: the engine keeps `done` within `total`.
    void Set(const DigestProgressState& state) {
        total_ = state.total;
        done_ = state.done;
        files_ = state.files;
        filesDone_ = state.filesDone;
        bytes_ = state.bytesRead;
    }
    // Words drawn after the figures (the slowest fetch, say).
    void SetNote(std::string note) {
        std::lock_guard lock(noteMutex_);
        note_ = std::move(note);
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stopped_; })) {
            Draw();
        }
    }
    void Draw();

    static constexpr int kWidth = 30;
    std::atomic<std::uint64_t> total_{0};
    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::size_t> files_{0};
    std::atomic<std::size_t> filesDone_{0};
    std::atomic<std::uint64_t> bytes_{0};
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::mutex noteMutex_;
    std::string note_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread thread_;
};

// UTF-8 text cut or padded to `columns` columns of a terminal: a CJK
// character takes two, and none is cut in half.
std::string FittedToColumns(std::string_view utf8, std::size_t columns);

}  // namespace varo::cli
