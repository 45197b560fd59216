#include "app/pages/manifest/DigestTask.h"

#include <QMetaObject>

#include <cerrno>
#include <utility>

namespace varo {

DigestTask::DigestTask(ResourceImportPlan plan, int threads, std::string cachePath,
                       ProgressHandler onProgress, FinishedHandler onFinished, QObject* parent)
    : QObject(parent), onProgress_(std::move(onProgress)), onFinished_(std::move(onFinished)) {
    thread_ = std::thread(
        [this, plan = std::move(plan), threads, cachePath = std::move(cachePath)]() mutable {
            CachedDigests digests;
            try {
                ResourceDigestRun run;
                run.threads = threads;
                run.cachePath = std::move(cachePath);
                run.cancel = &cancel_;
                run.onProgress = [this](const DigestProgressState& state) { PostProgress(state); };
                digests = DigestResourceImport(plan, run);
            } catch (...) {
                // Not even the list of results could be made: every file failed.
                digests.digests.assign(plan.files.size(),
                                       FileDigest{false, {}, 0, ErrnoError(ENOMEM), false});
            }
            // Queued to this object: dropped if the task is destroyed first.
            QMetaObject::invokeMethod(
                this,
                [this, plan = std::move(plan), digests = std::move(digests)]() mutable {
                    onFinished_(std::move(plan), std::move(digests), cancel_.load());
                },
                Qt::QueuedConnection);
        });
}

DigestTask::~DigestTask() {
    cancel_ = true;
    thread_.join();
}

void DigestTask::Cancel() {
    cancel_ = true;
}

void DigestTask::PostProgress(const DigestProgressState& state) {
    {
        std::lock_guard lock(progressMutex_);
        progress_ = state;
    }
    if (progressPosted_.exchange(true)) {
        return;  // the call on its way shows the latest values
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            progressPosted_ = false;
            DigestProgressState latest;
            {
                std::lock_guard lock(progressMutex_);
                latest = progress_;
            }
            onProgress_(latest);
        },
        Qt::QueuedConnection);
}

}  // namespace varo
