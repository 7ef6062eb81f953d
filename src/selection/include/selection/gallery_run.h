// A gallery made from what the user chose, the one road the desktop program
// and lumigal-batch both take: the tree of albums scanned from the inputs,
// then written by the gallery writer.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "album/page_writer.h"
#include "album/progress.h"
#include "album/settings.h"
#include "selection/folder_scan.h"

namespace lumigal {

struct GalleryRequest {
    std::vector<std::string> inputs;  // absolute paths: folders (one album each) or files
    ScanFormats formats;
    std::string baseUrl;  // where the gallery will be published; empty: no preview cards
    bool zip = false;     // each album offers a ZIP of its copies
    std::string date;     // when it was made, as its pages show it (galleryDate)
    AlbumRunOptions run;
};

// The photos per page of a gallery made with `page` (0: all on one page).
unsigned galleryPhotosPerPage(const PageSettings& page);

// "%02d/%02d/%d %02d:%02d" of `when`, in UTC: the date the pages show.
std::string galleryDate(std::time_t when);

// Scans the inputs and writes the gallery whose index is `page.pagePath`
// (its folder is never taken as input); `page.followLinks` and the page's
// title hold for the scan. `scan` (may be null) hears of the images found
// and of the folders that cannot be listed; `progress` of the rest, and
// its cancelled() stops the scan as well as the writing. Returns as
// GenerateGallery: 0 written, 1 not written (failed() says why), 2 cancelled.
int MakeGallery(const GalleryRequest& request, const PageSettings& page, const Preferences& prefs,
                ProgressObserver& progress, ScanObserver* scan);

}  // namespace lumigal
