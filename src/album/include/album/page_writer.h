// The album page writer: one HTML page for the selected images, in
// thumbnail, detail or plain mode, written in one pass.
#pragma once

#include <cstdint>
#include <string>

#include "album/page_links.h"
#include "album/progress.h"
#include "album/settings.h"
#include "common/selected_files.h"

namespace lumigal {

// Writes the page `page.pagePath` for the first `count` images of `files`
// (in sorted order when `tri` is on). An image that cannot be read, or whose
// thumbnail cannot be made, is left out of the page (its list, its count
// and its images) and reported to the observer's imageFailed(). Returns 0
// when the page was written, 1 when it could not be created or written (the
// observer's failed() then gets the message "Impossible de créer
// <pagePath> : <why>"), 2 when the observer's cancelled() stopped it: the
// page that was there stays as it was and no temporary file is left; the
// thumbnails finished by then stay, recorded.
int GenerateAlbumPage(int count, const PageSettings& page, const Preferences& prefs,
                      const SelectedFileList& files, ProgressObserver& progress);

// How the work is spread. The page, the thumbnails and the progress reports
// are the same whatever the number of workers: the observer is called on
// the calling thread, in image order, as each image is done. Each image has
// a thumbnail file of its own (see thumbnail_names.h).
struct AlbumRunOptions {
    int workers = 0;  // thumbnail workers; 0: one per processor
};
int GenerateAlbumPage(int count, const PageSettings& page, const Preferences& prefs,
                      const SelectedFileList& files, ProgressObserver& progress,
                      const AlbumRunOptions& run);

// The options that the page writer gives the thumbnail maker (before the
// source and the thumbnail name), and the text that stands for them and
// their implementation in the thumbnail record (the number changes when
// the same options give other thumbnails: version 3 stands photos upright).
inline constexpr const char* kThumbnailRecipe = "3 -quality 99 -contrast";
// The same, the thumbnails fitting inside width x height with the image's
// proportions instead of being scaled to exactly that size.
inline constexpr const char* kFittedThumbnailRecipe = "3 -quality 99 -contrast -fit";

// The size of the thumbnail of a `width` x `height` image (as shown) in a
// `boxWidth` x `boxHeight` box: the box itself, or, keeping proportions,
// the largest size of the image's proportions that fits inside it.
struct FittedSize {
    unsigned width = 0, height = 0;
};
FittedSize thumbnailSizeFor(std::size_t width, std::size_t height, unsigned boxWidth,
                            unsigned boxHeight, bool keepProportions);

// The page's pieces, each added to the page text `out`.
void WritePlainImage(std::string& out, const std::string& path,
                     const PageLinks& links = PageLinks());
void WritePageFooter(std::string& out);

// The thumbnail table: each row is a table of its own, `nbThumbByLine` cells
// long; only the first one carries the dark border colour.
class ThumbnailTable {
public:
    ThumbnailTable(std::string& out, const PageSettings& page, const PageLinks& links = PageLinks());
    void open();
    void WriteThumbnailCell(const std::string& link, const std::string& image);
    void close();

private:
    std::string& out_;
    const PageSettings& page_;
    PageLinks links_;
    std::uint32_t rowCellCount_ = 0;
};

// Where thumbnails go: `pathThumbnail`, or the page's own folder when it is
// empty. A portable album keeps them in its folder: in `pathThumbnail` when
// that lies inside the page's folder, else in "vignettes" beside the page.
std::string thumbnailFolder(const PageSettings& page, const Preferences& prefs);

// The footer's fixed values.
inline constexpr const char* kFooterNotice = "Cr&eacute;ateur d'albums d'images libre";
inline constexpr const char* kFooterEmail = "lumigal@example.org";
inline constexpr const char* kFooterHomePage = "https://lumigal.example.org/";

}  // namespace lumigal
