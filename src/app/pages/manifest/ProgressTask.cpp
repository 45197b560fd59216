#include "app/pages/manifest/ProgressTask.h"

#include <QMetaObject>

#include <utility>

namespace varo {

ProgressTask::ProgressTask(Work work, ProgressHandler onProgress, QObject* parent)
    : QObject(parent), onProgress_(std::move(onProgress)) {
    thread_ = std::thread([this, work = std::move(work)] {
        std::function<void()> finish =
            work(cancel_, [this](const DigestProgressState& state) { PostProgress(state); });
        // Queued to this object: dropped if the task is destroyed first.
        QMetaObject::invokeMethod(this, std::move(finish), Qt::QueuedConnection);
    });
}

ProgressTask::~ProgressTask() {
    cancel_ = true;
    thread_.join();
}

void ProgressTask::Cancel() {
    cancel_ = true;
}

void ProgressTask::PostProgress(const DigestProgressState& state) {
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
