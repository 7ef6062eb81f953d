// The ZIP an album offers of its copies: one file in the album's folder,
// its entries the copies' own names (no folder, nothing of the maker's
// machine), stored as they are (photos are compressed already).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace lumigal {

// The ZIP's file name in each album's folder (no album folder takes it).
inline constexpr const char* kAlbumZipName = "album.zip";

struct ZipEntry {
    std::string name;  // in the ZIP: a file name, no folder
    std::string file;  // the file it holds
};

enum class ZipResult { Written, Unchanged, Cancelled, Failed };

// Writes `entries` into `zipPath` (replaced only once the new ZIP is whole),
// unless the ZIP there already holds the same names with the same sizes and
// times (Unchanged). Each file must be a regular file, not a link.
// `cancelled` is asked as the ZIP is written; a cancelled or failed ZIP
// leaves the old one, and `error` says why (in French).
ZipResult writeAlbumZip(const std::string& zipPath, const std::vector<ZipEntry>& entries,
                        const std::function<bool()>& cancelled, std::string& error);

// Removes the temporary ZIPs that a killed run left beside `zipPath`.
void removeUnfinishedZips(const std::string& zipPath);

}  // namespace lumigal
