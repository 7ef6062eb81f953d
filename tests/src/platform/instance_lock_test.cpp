#include "platform/instance_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace lumigal::platform {
namespace {

std::filesystem::path tempFolder() {
    const char* base = std::getenv("LUMIGAL_TEST_TMP");
    std::filesystem::path folder =
        std::filesystem::path(base ? base : "/tmp") / ("lock-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

// The state a child process gets for `path` (exit code = state).
int stateInChild(const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        InstanceLock lock(path);
        ::_exit(static_cast<int>(lock.state()));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstEnds) {
    const std::string path = instanceLockPath(tempFolder().string());
    {
        InstanceLock first(path);
        ASSERT_EQ(first.state(), InstanceLock::State::Acquired) << first.error();
        EXPECT_EQ(stateInChild(path), static_cast<int>(InstanceLock::State::HeldElsewhere));
    }
    EXPECT_EQ(stateInChild(path), static_cast<int>(InstanceLock::State::Acquired));
}

TEST(InstanceLock, AKilledHolderNeverBlocks) {
    const std::string path = instanceLockPath(tempFolder().string());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        InstanceLock lock(path);
        char c = lock.state() == InstanceLock::State::Acquired ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    EXPECT_EQ(InstanceLock(path).state(), InstanceLock::State::HeldElsewhere);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(InstanceLock(path).state(), InstanceLock::State::Acquired);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(InstanceLock, LockFileIsNotInherited) {
    const std::string path = instanceLockPath(tempFolder().string());
    InstanceLock lock(path);
    ASSERT_EQ(lock.state(), InstanceLock::State::Acquired);
    // Every descriptor of the lock file carries FD_CLOEXEC.
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec) != path) continue;
        found = true;
        const int fd = std::stoi(entry.path().filename().string());
        EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
    }
    EXPECT_TRUE(found);
}

TEST(InstanceLock, MissingFolderFails) {
    InstanceLock lock("/nonexistent-folder-for-lumigal/Lumigal.lock");
    EXPECT_EQ(lock.state(), InstanceLock::State::Failed);
    EXPECT_NE(lock.error().find("/nonexistent-folder-for-lumigal"), std::string::npos);
}

}  // namespace
}  // namespace lumigal::platform
