// The thumbnail file of each image of a page: its usual name when nothing
// stands in the way, otherwise the first free numbered variant of it
// ("x-2.bmp", "x-3.bmp", ...), so that
// - every image of the page has a thumbnail of its own (two sources with
//   one base name, a/x.jpg and b/x.jpg, or y.gif and y.png converted to
//   one format, no longer share one);
// - no thumbnail is ever written over a source of the page, the page
//   itself, or a file that Lumigal did not make (a file is ours when the
//   thumbnail record names it and it is still as it was recorded);
// - no two names differ only by case (ASCII and Latin-1 letters), nor does
//   a name from a file of the folder that Lumigal did not make: the album
//   may be copied to a disk that ignores case.
// The names depend only on the sources, their order and what the folder
// holds, so an unchanged album gets the same names at every run. An image
// for which no free name can be found gets empty names.
#pragma once

#include <string>
#include <vector>

#include "imaging/thumbnail.h"
#include "album/thumbnail_record.h"

namespace lumigal {

// Given `doubled`, every image also gets there the name of its 2x
// thumbnail, beside the 1x ("x@2x.jpg" beside "x.jpg", "x-2@2x.jpg" beside
// "x-2.jpg"): the two names are free together, both follow the rules above,
// and no 2x name is another image's usual name.
std::vector<ThumbnailNames> uniqueThumbnailNames(const std::vector<const std::string*>& sources,
                                                 const std::string& folder, bool keepSameFormat,
                                                 int newFormat, const ThumbnailRecords& records,
                                                 const std::string& pagePath,
                                                 std::vector<ThumbnailNames>* doubled = nullptr);

// The name of the 2x thumbnail beside `names` ("@2x" before the extension,
// the format prefix kept); empty for empty names.
ThumbnailNames doubledThumbnailName(const ThumbnailNames& names);

// Claims for `page`, in `records`, the names that the records do not hold
// yet (ThumbnailRecord::claimed), and saves the records at `recordFile`
// when there were any: true then.
bool claimNewNames(ThumbnailRecords& records, const std::vector<ThumbnailNames>& names,
                   const std::string& page, const std::string& recordFile);

}  // namespace lumigal
