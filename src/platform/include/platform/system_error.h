// What a failed system call means, in French and without a path: the one
// wording of errno values for every message of the album maker.
#pragma once

#include <string>

namespace lumigal::platform {

// Whether the file was being read or written: a missing name means a
// missing file when reading, a missing folder when writing.
enum class FileAccess { Reading, Writing };

// "système de fichiers en lecture seule", "disque plein", ...; an errno
// value without a wording of its own is given by its number.
std::string errnoText(int err, FileAccess access);

}  // namespace lumigal::platform
