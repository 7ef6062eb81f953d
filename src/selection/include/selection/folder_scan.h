// The folder scan: collects the wanted images (and videos, when asked) of
// one folder, or of a folder and every folder below it, into the
// selected-file list.
#pragma once

#include <string>
#include <string_view>

#include "album/progress.h"
#include "common/selected_files.h"
#include "imaging/video_format.h"

namespace lumigal {

// Which videos the scan collects, by the container their content shows
// (imaging/video_format.h). None by default.
struct VideoTypes {
    bool mp4 = false;
    bool mov = false;
    bool m4v = false;
    bool threeGp = false;  // 3GP and 3G2
    bool webm = false;
    bool mkv = false;
    bool avi = false;

    // Every container: what `--types video` and the pages that show
    // videos take.
    static VideoTypes all() { return {true, true, true, true, true, true, true}; }
    bool any() const { return mp4 || mov || m4v || threeGp || webm || mkv || avi; }
    bool takes(VideoFormat format) const;
};

// Which extensions the scan collects.
struct ScanFormats {
    bool bmp = true;
    bool dib = true;
    bool gif = true;
    bool png = true;
    bool xbm = true;
    bool jpeg = true;
    bool webp = true;
    bool heic = true;  // HEIC and HEIF
    bool avif = true;
    bool tiff = true;
    // Videos are taken only when asked for: `formats.videos =
    // VideoTypes::all()` makes a scan take them too.
    VideoTypes videos;
};

// True when the extension (dot included) begins, case ignored, with one of
// the enabled families' extensions: .bmp .dib .gif .png .xbm, .jpg .jpe .jpeg,
// .webp, .heic .heif, .avif, .tif (and so .tiff).
bool IsWantedImage(std::string_view extension, const ScanFormats& formats);

// Whether the file `path`, of extension `extension`, is a wanted video: its
// name ends as a video's does (.mp4 .mov .qt .m4v .3gp .3g2 .webm .mkv .avi,
// case ignored) and its first bytes show a container that `formats` take.
// A file of such a name whose content is no video at all is taken when its
// extension's own type is wanted, so that the page maker says why it is
// left out instead of the scan passing over it without a word.
bool IsWantedVideo(const std::string& path, std::string_view extension, const ScanFormats& formats);

// Appends the wanted images of `folder` to `list` (folders and names starting
// with a dot are skipped). Returns the list's new count, or 0 when the folder
// cannot be listed. `observer` may be null; once its cancelled() says true
// the scan stops, the list keeping what was found so far.
// Files are regular files and symbolic links to regular files; links to
// folders, dangling links, pipes, devices and sockets are never collected,
// nor are Lumigal's own files (those the thumbnail record of their folder
// names: thumbnails, a portable album's copies).
// Entries come by name, case ignored (ASCII and Latin-1 letters), names
// that differ only by case in the order of their bytes, so a folder gives
// the same order at every scan whatever order the system delivers.
int ScanFolder(ScanObserver* observer, const std::string& folder, const ScanFormats& formats,
               SelectedFileList& list);

// The same for `folder` and, depth first, every folder below it: a
// sub-folder's images come where its own name comes among its parent's
// entries, before the parent's later entries. Symbolic
// links to folders are not followed, so the scan never loops and never
// leaves the tree.
int ScanFolderTree(ScanObserver* observer, const std::string& folder, const ScanFormats& formats,
                   SelectedFileList& list);

}  // namespace lumigal
