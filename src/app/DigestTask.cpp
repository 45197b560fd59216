#include "app/DigestTask.h"

#include <QMetaObject>

#include <cerrno>
#include <utility>

namespace varo {

DigestTask::DigestTask(std::vector<std::string> paths, int threads, ProgressHandler onProgress,
                       FinishedHandler onFinished, QObject* parent)
    : QObject(parent), onProgress_(std::move(onProgress)), onFinished_(std::move(onFinished)) {
    thread_ = std::thread([this, paths = std::move(paths), threads] {
        std::vector<FileDigest> digests;
        try {
            digests = DigestFiles(
                {paths, threads, &cancel_,
                 [this](std::uint64_t done, std::uint64_t total) { PostProgress(done, total); }});
        } catch (...) {
            // Not even the list of results could be made: every file failed.
            digests.assign(paths.size(), FileDigest{false, {}, 0, ErrnoError(ENOMEM)});
        }
        // Queued to this object: dropped if the task is destroyed first.
        QMetaObject::invokeMethod(
            this,
            [this, digests = std::move(digests)]() mutable {
                onFinished_(std::move(digests), cancel_.load());
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

void DigestTask::PostProgress(std::uint64_t done, std::uint64_t total) {
    done_ = done;
    total_ = total;
    if (progressPosted_.exchange(true)) {
        return;  // the call on its way shows the latest values
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            progressPosted_ = false;
            onProgress_(done_.load(), total_.load());
        },
        Qt::QueuedConnection);
}

}  // namespace varo
