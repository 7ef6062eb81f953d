// The thumbnail file of each image of a page: its usual name when nothing
// stands in the way, otherwise the first free numbered variant of it
// ("x-2.bmp", "x-3.bmp", ...), so that
// - every image of the page has a thumbnail of its own (two sources with
//   one base name, a/x.jpg and b/x.jpg, or y.gif and y.png converted to
//   one format, no longer share one);
// - no thumbnail is ever written over a source of the page, the page
//   itself, or a file that Lumigal did not make (a file is ours when the
//   thumbnail record names it and it is still as it was recorded).
// The names depend only on the sources, their order and what the folder
// holds, so an unchanged album gets the same names at every run. An image
// for which no free name can be found gets empty names.
#pragma once

#include <string>
#include <vector>

#include "imaging/thumbnail.h"
#include "album/thumbnail_record.h"

namespace lumigal {

std::vector<ThumbnailNames> uniqueThumbnailNames(const std::vector<const std::string*>& sources,
                                                 const std::string& folder, bool keepSameFormat,
                                                 int newFormat, const ThumbnailRecords& records,
                                                 const std::string& pagePath);

}  // namespace lumigal
