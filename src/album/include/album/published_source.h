// A source as a portable album takes it: opened once, and from then on
// reached only through that descriptor, so that a name swapped meanwhile
// (for a link to a private file, say) cannot change what is checked,
// decoded or copied. A symbolic link that leads out of the folder the user
// chose to scan is not followed unless the page says so, and what is made
// from a source is never readable by more people than the source is.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace lumigal {

struct PublishedSource {
    platform::UniqueFd fd;
    std::int64_t size = 0;
    mode_t mode = 0;  // the source's permission bits
    // A path that reaches the very file opened, whatever its name now holds.
    std::string path() const;
    // Its bytes, read whole from the descriptor; false with `error` set.
    bool read(std::string& bytes, std::string& error) const;
};

// Opens `source`, a regular file; nullopt with `error` (French, without the
// path) otherwise. A `source` inside one of `chosenFolders` must be, once
// its links are followed, inside that folder too, unless `followLinks`.
std::optional<PublishedSource> openPublishedSource(const std::string& source,
                                                   const std::vector<std::string>& chosenFolders,
                                                   bool followLinks, std::string& error);

// The permission bits of a file made from a source of mode `sourceMode`:
// read and write for those who may read the source, no more.
mode_t publishedMode(mode_t sourceMode);

}  // namespace lumigal
