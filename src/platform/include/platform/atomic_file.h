// Files replaced as a whole. The new content goes to a temporary file of the
// same folder, which is synced and then renamed over the file: a failure or
// a crash at any point leaves the old file (or none), never a partial one.
//
// A temporary has a short name of its own, ".lumigal-XXXXXXXX.tmp", whatever
// the file's name, so that any name the folder accepts can be written. Its
// writer holds an exclusive flock on it until it is renamed into place; the
// kernel drops that lock when the writer dies, which is how a temporary left
// by a killed writer is told from one being written (removeStaleTemporaries).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace lumigal::platform {

// Where replacing a file failed, and the errno value it failed with.
enum class ReplaceStep { None, Create, Write, Rename, SyncFolder };
struct ReplaceError {
    ReplaceStep step = ReplaceStep::None;
    int err = 0;
};

// The streaming form: create, write as often as needed, commit.
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile() { discard(); }

    // Creates the temporary beside `target` with `mode` (less the umask).
    // Fails at once, before anything is written, when the target's name is
    // longer than the folder allows (ENAMETOOLONG) or a folder has that name
    // (EISDIR).
    bool create(const std::string& target, mode_t mode = 0666);
    // Buffers `bytes`; false once any write failed.
    bool write(std::string_view bytes);
    // Writes out the buffer, syncs the file, renames it over the target and,
    // when asked, syncs the folder so that the rename itself is on disk.
    bool commit(bool syncFolder = true);
    // Removes the temporary (a commit that was not made).
    void discard();

    bool isOpen() const { return static_cast<bool>(fd_); }
    // The temporary's descriptor, for a caller that sets its mode.
    int fd() const { return fd_.get(); }
    const ReplaceError& error() const { return error_; }

private:
    bool fail(ReplaceStep step, int err);
    bool flushBuffer();

    UniqueFd fd_;
    std::string target_;
    std::string temp_;
    std::string buffer_;
    ReplaceError error_;
};

// The one-shot form: `target` replaced by `bytes`.
bool replaceFile(const std::string& target, std::string_view bytes, ReplaceError& error,
                 mode_t mode = 0666, bool syncFolder = true);

// Whether `name` (a file name, no folder) is one of our temporaries.
bool isTemporaryName(std::string_view name);

// Removes from `folder` ("" for the current folder) the temporaries whose
// writer is gone: files of our name pattern only, regular, of this user, on
// which no one holds the writer's lock. Temporaries of earlier versions
// (".lumigal-PID-N-HHHHHHHH.tmp", written without a lock) are removed once
// they are old enough that no writer can still be at work on them. Returns
// how many files were removed.
std::size_t removeStaleTemporaries(const std::string& folder);

}  // namespace lumigal::platform
