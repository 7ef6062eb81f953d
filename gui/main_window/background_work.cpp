#include "main_window/background_work.h"

#include <QEventLoop>
#include <QThread>
#include <memory>

#include "dialogs/progress_box.h"
#include "dialogs/wait_box.h"

namespace lumigal {

void runInBackground(const std::function<void()>& job) {
    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create(job));
    // Queued: it comes after every call that the job queued before it ended.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    thread->start();
    loop.exec();
    thread->wait();
}

namespace {
// Calls `call` on `target`'s thread, unless `target` is gone by then.
template <typename Box, typename Call>
void post(const QPointer<Box>& target, Call call) {
    Box* box = target.data();
    if (box == nullptr) return;
    QMetaObject::invokeMethod(box, std::move(call), Qt::QueuedConnection);
}
}  // namespace

QueuedProgress::QueuedProgress(ProgressBox& box) : box_(box), target_(&box) {}

void QueuedProgress::started(int count) {
    post(target_, [box = target_, count] { box->started(count); });
}
void QueuedProgress::setLabel(const std::string& path) {
    post(target_, [box = target_, path] { box->setLabel(path); });
}
void QueuedProgress::setPosition(int index) {
    post(target_, [box = target_, index] { box->setPosition(index); });
}
void QueuedProgress::imageFailed(const std::string& path, const std::string& reason) {
    post(target_, [box = target_, path, reason] { box->imageFailed(path, reason); });
}
void QueuedProgress::locationsRemoved(int photos) {
    post(target_, [box = target_, photos] { box->locationsRemoved(photos); });
}
void QueuedProgress::failed(const std::string& message) {
    post(target_, [box = target_, message] { box->failed(message); });
}
bool QueuedProgress::cancelled() const { return box_.cancelRequested(); }

QueuedScan::QueuedScan(WaitBox& box) : box_(box), target_(&box) {}

void QueuedScan::fileAdded(const std::string& path, int count) {
    {
        std::lock_guard lock(mutex_);
        latestPath_ = path;
        latestCount_ = count;
    }
    if (queued_.exchange(true)) return;
    post(target_, [this, box = target_] {
        std::string path;
        int count;
        {
            std::lock_guard lock(mutex_);
            path = latestPath_;
            count = latestCount_;
            queued_ = false;
        }
        box->fileAdded(path, count);
    });
}
void QueuedScan::folderSkipped(const std::string& path) {
    post(target_, [box = target_, path] { box->folderSkipped(path); });
}
bool QueuedScan::cancelled() const { return box_.cancelRequested(); }

}  // namespace lumigal
