#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "manifest/FileDigest.h"

namespace varo {

// The core's digest engine run off the GUI thread. Progress and the result
// arrive on the GUI thread through queued calls, so the window never waits:
// no nested event loop, no pumping of events. Destroying the task cancels it and
// waits for its threads, which stop within a chunk.
class DigestTask : public QObject {
  public:
    using ProgressHandler = std::function<void(std::uint64_t done, std::uint64_t total)>;
    // The digests in the order of the paths; `cancelled` when Cancel() came first.
    using FinishedHandler = std::function<void(std::vector<FileDigest> digests, bool cancelled)>;

    DigestTask(std::vector<std::string> paths, int threads, ProgressHandler onProgress,
               FinishedHandler onFinished, QObject* parent = nullptr);
    ~DigestTask() override;

    void Cancel();

  private:
    void PostProgress(std::uint64_t done, std::uint64_t total);

    ProgressHandler onProgress_;
    FinishedHandler onFinished_;
    std::atomic<bool> cancel_{false};
    // The latest progress, and whether a call to show it is on its way: at
    // most one queued progress call at a time, however fast the files go.
    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::uint64_t> total_{0};
    std::atomic<bool> progressPosted_{false};
    std::thread thread_;
};

}  // namespace varo
