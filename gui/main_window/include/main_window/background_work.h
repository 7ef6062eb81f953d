// Work off the GUI thread: the page generation and the folder scans run on
// a thread of their own while the window keeps answering events, and their
// observers' calls reach the boxes on the GUI thread as queued calls.
#pragma once

#include <QPointer>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "album/progress.h"

namespace lumigal {

class ProgressBox;
class WaitBox;

// Runs `job` on a new thread and returns once it has ended; meanwhile the
// calling thread's event loop runs (input reaches only windows that no
// modal box blocks). Every queued call the job made is delivered by then.
void runInBackground(const std::function<void()>& job);

// The progress observer that the work's thread is given: each call is
// handed on to `box` on the box's thread, in order; cancelled() reads the
// box's flag at once.
class QueuedProgress : public ProgressObserver {
public:
    explicit QueuedProgress(ProgressBox& box);
    void started(int count) override;
    void setLabel(const std::string& path) override;
    void setPosition(int index) override;
    void imageFailed(const std::string& path, const std::string& reason) override;
    void locationsRemoved(int photos) override;
    void failed(const std::string& message) override;
    bool cancelled() const override;

private:
    ProgressBox& box_;
    QPointer<ProgressBox> target_;
};

// The same for the folder scan. A scan finds thousands of files quickly:
// fileAdded() keeps only the latest file and queues one call at a time, so
// the box shows the latest count without the GUI thread drowning in calls.
class QueuedScan : public ScanObserver {
public:
    explicit QueuedScan(WaitBox& box);
    void fileAdded(const std::string& path, int count) override;
    void folderSkipped(const std::string& path) override;
    bool cancelled() const override;

private:
    WaitBox& box_;
    QPointer<WaitBox> target_;
    std::mutex mutex_;
    std::string latestPath_;
    int latestCount_ = 0;
    std::atomic<bool> queued_{false};
};

}  // namespace lumigal
