#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cache/DigestCache.h"
#include "digest/FileDigest.h"
#include "jobs/ResourceImportJob.h"

namespace varo {

// The digest step of an import (DigestResourceImport) run off the GUI
// thread. Progress and the result
// arrive on the GUI thread through queued calls, so the window never waits:
// no nested event loop, no pumping of events. Destroying the task cancels it and
// waits for its threads, which stop within a chunk.
class DigestTask : public QObject {
  public:
    using ProgressHandler = std::function<void(const DigestProgressState& state)>;
    // The plan given back, the digests of its files in their order (and what
    // the digest cache did); `cancelled` when Cancel() came first.
    using FinishedHandler =
        std::function<void(ResourceImportPlan plan, CachedDigests digests, bool cancelled)>;

    // `cachePath`: the digest cache to use, empty for none.
    DigestTask(ResourceImportPlan plan, int threads, std::string cachePath,
               ProgressHandler onProgress, FinishedHandler onFinished, QObject* parent = nullptr);
    ~DigestTask() override;

    void Cancel();

  private:
    void PostProgress(const DigestProgressState& state);

    ProgressHandler onProgress_;
    FinishedHandler onFinished_;
    std::atomic<bool> cancel_{false};
    // The latest progress, and whether a call to show it is on its way: at
    // most one queued progress call at a time, however fast the files go.
    std::mutex progressMutex_;
    DigestProgressState progress_;
    std::atomic<bool> progressPosted_{false};
    std::thread thread_;
};

}  // namespace varo
