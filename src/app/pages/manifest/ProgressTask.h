#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "digest/FileDigest.h"

namespace varo {

// A job of the manifest page run off the GUI thread (an import's digests, an
// export to the publish folder, a check of one). Progress and the end arrive
// on the GUI thread through queued calls, so the window never waits: no
// nested event loop, no pumping of events. Destroying the task cancels it
// and waits for its thread, which stops within a chunk.
class ProgressTask : public QObject {
  public:
    using ProgressHandler = std::function<void(const DigestProgressState& state)>;
    // Runs on the task's thread; what it returns runs on the GUI thread
    // afterwards (not at all when the task is destroyed first).
    using Work = std::function<std::function<void()>(const std::atomic<bool>& cancel,
                                                     const DigestProgress& progress)>;

    ProgressTask(Work work, ProgressHandler onProgress, QObject* parent = nullptr);
    ~ProgressTask() override;

    void Cancel();

  private:
    void PostProgress(const DigestProgressState& state);

    ProgressHandler onProgress_;
    std::atomic<bool> cancel_{false};
    // The latest progress, and whether a call to show it is on its way: at
    // most one queued progress call at a time, however fast the files go.
    std::mutex progressMutex_;
    DigestProgressState progress_;
    std::atomic<bool> progressPosted_{false};
    std::thread thread_;
};

}  // namespace varo
