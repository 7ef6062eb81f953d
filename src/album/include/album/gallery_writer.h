// The gallery writer: a tree of albums (gallery_source.h) published into
// the folder of the index page, each album in a folder that mirrors the
// tree, with its own copies (images/) and thumbnails (vignettes/) and its
// pages (gallery_pages.h).
#pragma once

#include <string>

#include "album/gallery_pages.h"
#include "album/gallery_source.h"
#include "album/page_writer.h"
#include "album/progress.h"
#include "album/settings.h"

namespace lumigal {

// The list of the pages a gallery wrote, in its output folder: a page of
// an album that is gone is removed at the next run only when it is listed
// there (nothing else in the folder is ever removed but the files the
// albums' records say are ours).
inline constexpr const char* kGalleryRecordName = ".lumigal-galerie";

// Writes the gallery of `tree` whose index is `page.pagePath`; the page's
// other settings (colours, thumbnail size, web size, order) hold for every
// album, which is always portable, modern and in thumbnail mode. Progress
// runs over all the photos of the tree, in album order; an image that
// cannot be published is left out and reported (imageFailed). A page whose
// text is unchanged is not written again, and an unchanged photo gets no new
// copy or thumbnail. Returns 0 when written, 1 when the gallery could not be
// written (failed() says why: no photo at all, a folder or a page that
// cannot be made), 2 when cancelled: the pages of the albums finished by
// then are written, the others (the index among them) stay as they were.
int GenerateGallery(const SourceAlbum& tree, const PageSettings& page, const Preferences& prefs,
                    const GalleryOptions& options, ProgressObserver& progress,
                    const AlbumRunOptions& run);

}  // namespace lumigal
