// The images of a portable album: copies in the folder "images" beside the
// page, so that the page's folder holds everything it links to. A copy is
// the original byte for byte but for the place where it was taken, whose
// tags are removed unless the page keeps them (its pixels untouched), or, given a web size, the image upright with
// its longest edge at most that many pixels, without its EXIF, XMP and IPTC
// data (where a camera or a phone keeps the place a photo was taken), its
// colour profile kept, a JPEG for a JPEG photo. A HEIC or TIFF image, which
// browsers do not show, is always a JPEG copy. Sources are never written;
// copies get names of their own as thumbnails do (thumbnail_names.h), and a
// copy still as it was made from an unchanged source is not made again (the
// record of the folder says so, as for thumbnails).
#pragma once

#include <string>
#include <vector>

#include "settings/settings_schema.h"

namespace lumigal {

inline constexpr const char* kImagesFolderName = "images";
inline constexpr const char* kPortableThumbnailFolderName = "vignettes";

// The page as the records of its album name it: its file name.
std::string pageNameOf(const PageSettings& page);

// The recipe in the record: what a copy is, and the version of its making.
std::string portableCopyRecipe(unsigned webSize, bool keepLocation);

struct PortableCopy {
    std::string path;   // the copy; empty when it could not be made
    std::string error;  // why, in French
    std::size_t locationsRemoved = 0;  // location tags this run took out of the copy
};

// The copy of each source, in order, made by `workers` workers. A source
// is opened once and read only through that descriptor; one reached by a
// link that leads out of the page's chosen folders gets no copy unless the
// page follows links; a copy is readable by no more people than its source.
std::vector<PortableCopy> makePortableCopies(const std::vector<const std::string*>& sources,
                                             const PageSettings& page, int workers);

// The size of a web copy of a `width` x `height` image: its longest edge
// brought down to `webSize` (0: no limit), proportions kept.
struct CopySize {
    std::size_t width = 0, height = 0;
};
CopySize webCopySize(std::size_t width, std::size_t height, unsigned webSize);

}  // namespace lumigal
