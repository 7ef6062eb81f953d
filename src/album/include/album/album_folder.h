// What a run keeps of its album folder: the folder for itself while it
// writes, and no file of its own that the page no longer links.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace lumigal {

// The folder locked against other runs (of any program of ours) for as
// long as the lock lives. The lock is on the folder itself: nothing is
// written into it.
class AlbumLock {
public:
    // The lock of `folder`, taken without waiting; nullopt with `error` set
    // (French) when another run holds it. A folder that cannot be locked
    // for another reason (a file system without locks) is not held up.
    static std::optional<AlbumLock> take(const std::string& folder, std::string& error);

private:
    platform::UniqueFd fd_;
};

// Removes from `folder` the files that its record says `page` linked, that
// it no longer links (`linked` holds the paths it links now) and that no
// other page links. Returns the number of files removed.
std::size_t removeUnlinkedFiles(const std::string& folder, const std::string& page,
                                const std::vector<std::string>& linked);

}  // namespace lumigal
