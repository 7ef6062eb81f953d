#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lumigal::platform {

InstanceLock::InstanceLock(const std::string& lockFile) {
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        error_ = "Impossible d'ouvrir " + lockFile + " : " + std::strerror(errno);
        return;
    }
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        state_ = State::Acquired;
    } else if (errno == EWOULDBLOCK) {
        state_ = State::HeldElsewhere;
    } else {
        error_ = "Impossible de verrouiller " + lockFile + " : " + std::strerror(errno);
    }
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);  // closing drops the lock
}

std::string instanceLockPath(const std::string& runtimeFolder) {
    std::string path = runtimeFolder;
    if (path.empty() || path.back() != '/') path += '/';
    return path + "Lumigal.lock";
}

}  // namespace lumigal::platform
