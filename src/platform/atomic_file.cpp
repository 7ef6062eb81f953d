#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>

#include "platform/unique_fd.h"

namespace lumigal::platform {

namespace {

constexpr std::string_view kPrefix = ".lumigal-";
constexpr std::string_view kSuffix = ".tmp";
constexpr std::size_t kRandomChars = 8;
constexpr std::size_t kBufferBytes = std::size_t{1} << 16;
// Earlier versions wrote a temporary in one go, without a lock: one this old
// has no writer any more.
constexpr std::time_t kUnlockedStaleSeconds = 600;

// The folder part of `path` with its final slash ("" for a bare name).
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string randomName() {
    static constexpr char kChars[] =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::random_device entropy;
    std::uint64_t bits = (std::uint64_t{entropy()} << 32) | entropy();
    std::string name(kPrefix);
    for (std::size_t i = 0; i < kRandomChars; ++i) {
        name += kChars[bits % 62];
        bits /= 62;
    }
    name += kSuffix;
    return name;
}

bool writeAll(int fd, const char* data, std::size_t size, int& err) {
    while (size > 0) {
        const ssize_t put = noInterrupt([&] { return ::write(fd, data, size); });
        if (put <= 0) {
            err = put < 0 ? errno : EIO;
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool isDigits(std::string_view s) {
    if (s.empty()) return false;
    for (const char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool isHex(std::string_view s) {
    for (const char c : s) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// ".lumigal-PID-N-HHHHHHHH.tmp", the temporaries of earlier versions.
bool isUnlockedTemporaryName(std::string_view name) {
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return false;
    name.remove_prefix(kPrefix.size());
    name.remove_suffix(kSuffix.size());
    const std::size_t first = name.find('-');
    const std::size_t second = name.find('-', first == name.npos ? first : first + 1);
    if (first == name.npos || second == name.npos) return false;
    const std::string_view hex = name.substr(second + 1);
    return isDigits(name.substr(0, first)) &&
           isDigits(name.substr(first + 1, second - first - 1)) && hex.size() == 8 && isHex(hex);
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Removes `name` when it is a regular file of this user, at least
// `minimumAge` seconds old, on which the writer's lock can be taken (so no
// writer holds it), and still the file that was locked.
bool removeIfStale(int dirFd, const char* name, std::time_t minimumAge) {
    struct stat before {};
    if (::fstatat(dirFd, name, &before, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(before.st_mode) ||
        before.st_uid != ::geteuid()) {
        return false;
    }
    if (minimumAge > 0) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        if (now.tv_sec - before.st_mtim.tv_sec < minimumAge) return false;
    }
    const UniqueFd fd(noInterrupt([&] {
        return ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }));
    if (!fd) return false;
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0 || opened.st_dev != before.st_dev ||
        opened.st_ino != before.st_ino) {
        return false;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;  // a writer is at work
    // The name may have been renamed into place and reused meanwhile.
    struct stat now {};
    if (::fstatat(dirFd, name, &now, AT_SYMLINK_NOFOLLOW) != 0 || now.st_dev != opened.st_dev ||
        now.st_ino != opened.st_ino) {
        return false;
    }
    return ::unlinkat(dirFd, name, 0) == 0;
}

}  // namespace

bool AtomicFile::fail(ReplaceStep step, int err) {
    discard();
    error_ = {step, err};
    return false;
}

bool AtomicFile::create(const std::string& target, mode_t mode) {
    discard();
    error_ = {};
    target_ = target;
    const std::string folder = folderOf(target);
    const std::string name = target.substr(folder.size());
    const char* folderName = folder.empty() ? "." : folder.c_str();
    if (name.empty()) return fail(ReplaceStep::Create, EISDIR);
    const long maxName = ::pathconf(folderName, _PC_NAME_MAX);
    if (name.size() > static_cast<std::size_t>(maxName > 0 ? maxName : NAME_MAX)) {
        return fail(ReplaceStep::Create, ENAMETOOLONG);
    }
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        return fail(ReplaceStep::Create, EISDIR);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = folder + randomName();
        UniqueFd fd(noInterrupt([&] {
            return ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        }));
        if (!fd) {
            if (errno == EEXIST) continue;
            return fail(ReplaceStep::Create, errno);
        }
        if (noInterrupt([&] { return ::flock(fd.get(), LOCK_EX); }) != 0) {
            const int err = errno;
            ::unlink(temp.c_str());
            return fail(ReplaceStep::Create, err);
        }
        // A cleaner may have taken the file for a stale one before it was
        // locked: it is then unlinked, and another name is tried.
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0 || st.st_nlink == 0) continue;
        fd_ = std::move(fd);
        temp_ = std::move(temp);
        buffer_.reserve(kBufferBytes);
        return true;
    }
    return fail(ReplaceStep::Create, EEXIST);
}

bool AtomicFile::flushBuffer() {
    int err = 0;
    if (!writeAll(fd_.get(), buffer_.data(), buffer_.size(), err)) {
        return fail(ReplaceStep::Write, err);
    }
    buffer_.clear();
    return true;
}

bool AtomicFile::write(std::string_view bytes) {
    if (!fd_) return false;
    if (buffer_.size() + bytes.size() <= kBufferBytes) {
        buffer_.append(bytes);
        return true;
    }
    if (!flushBuffer()) return false;
    if (bytes.size() < kBufferBytes) {
        buffer_.append(bytes);
        return true;
    }
    int err = 0;
    if (!writeAll(fd_.get(), bytes.data(), bytes.size(), err)) {
        return fail(ReplaceStep::Write, err);
    }
    return true;
}

bool AtomicFile::commit(bool syncFolder) {
    if (!fd_) return false;
    if (!flushBuffer()) return false;
    if (noInterrupt([&] { return ::fsync(fd_.get()); }) != 0)
        return fail(ReplaceStep::Write, errno);
    // The lock is held through the rename, so the temporary is never taken
    // for a stale one.
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail(ReplaceStep::Rename, errno);
    temp_.clear();
    // fsync has reported any write error; closing has nothing left to say.
    fd_.reset();
    buffer_ = std::string();
    if (!syncFolder) return true;
    const std::string folder = folderOf(target_);
    const UniqueFd dir(noInterrupt([&] {
        return ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }));
    if (!dir) {
        error_ = {ReplaceStep::SyncFolder, errno};
        return false;
    }
    if (::fsync(dir.get()) != 0 && errno != EINVAL) {
        error_ = {ReplaceStep::SyncFolder, errno};
        return false;
    }
    return true;
}

void AtomicFile::discard() {
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    fd_.reset();
    buffer_ = std::string();
}

bool replaceFile(const std::string& target, std::string_view bytes, ReplaceError& error,
                 mode_t mode, bool syncFolder) {
    AtomicFile file;
    const bool ok = file.create(target, mode) && file.write(bytes) && file.commit(syncFolder);
    error = file.error();
    return ok;
}

bool isTemporaryName(std::string_view name) {
    if (name.size() != kPrefix.size() + kRandomChars + kSuffix.size() ||
        !name.starts_with(kPrefix) || !name.ends_with(kSuffix)) {
        return false;
    }
    for (const char c : name.substr(kPrefix.size(), kRandomChars)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return false;
        }
    }
    return true;
}

std::size_t removeStaleTemporaries(const std::string& folder) {
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return 0;
    const int dirFd = ::dirfd(dir.get());
    std::size_t removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (isTemporaryName(name)) {
            removed += removeIfStale(dirFd, entry->d_name, 0);
        } else if (isUnlockedTemporaryName(name)) {
            removed += removeIfStale(dirFd, entry->d_name, kUnlockedStaleSeconds);
        }
    }
    return removed;
}

}  // namespace lumigal::platform
