// The single-instance lock: an advisory exclusive lock on a lock file in
// the user's runtime folder, held for as long as the object lives (in
// practice the whole run). The file is opened with O_CLOEXEC so programs
// started from this one (the browser) never inherit it, and the system drops
// the lock when the process ends, so a killed copy never blocks the next.
#pragma once

#include <string>

namespace lumigal::platform {

class InstanceLock {
public:
    enum class State {
        Acquired,       // this process is the only copy
        HeldElsewhere,  // another copy holds the lock
        Failed,         // the lock file could not be opened or locked
    };

    // Opens (creating it when missing) `lockFile` and tries to lock it
    // without waiting.
    explicit InstanceLock(const std::string& lockFile);
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    State state() const { return state_; }
    // A sentence describing a failure, with the file's path.
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    State state_ = State::Failed;
    std::string error_;
};

// The lock file's path in `runtimeFolder` ("<folder>/Lumigal.lock").
std::string instanceLockPath(const std::string& runtimeFolder);

}  // namespace lumigal::platform
