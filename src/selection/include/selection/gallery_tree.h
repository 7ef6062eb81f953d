// The gallery's tree of albums, from the folders chosen: each folder that
// holds wanted images, or sub-folders that do, is an album; empty folders
// and those whose images are all of types left out make none.
#pragma once

#include <string>
#include <vector>

#include "album/gallery_source.h"
#include "album/progress.h"
#include "selection/folder_scan.h"

namespace lumigal {

struct GalleryScanOptions {
    ScanFormats formats;
    // Links to files that lead out of the chosen folder are taken only
    // then; links to folders are never followed (the scan cannot loop).
    bool followLinks = false;
    // The gallery's own folder: never taken as input when it lies inside
    // a chosen folder (nor are Lumigal's own files, see folder_scan.h).
    std::string outputFolder;
    std::string title;  // the index's title when its folder's album.txt gives none
};

// The tree of `inputs` (absolute paths): one folder is the index itself;
// several folders, or files, make an index of the files given with one
// sub-album per folder. `observer` (may be null) hears of the images found
// and of the folders that cannot be listed.
SourceAlbum scanGalleryTree(const std::vector<std::string>& inputs, const GalleryScanOptions& options,
                            ScanObserver* observer);

}  // namespace lumigal
