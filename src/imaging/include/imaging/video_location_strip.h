// The place a video was shot at taken out of its bytes without the video
// being written again: each location entry is overwritten where it lies by
// an entry that players skip, of the same size, so that no other byte
// moves and every offset the container holds stays true.
#pragma once

#include <cstddef>
#include <string>

#include "imaging/video_format.h"

namespace lumigal {

// In an ISO media file (MP4, MOV, M4V, 3GP), each QuickTime "\xA9xyz" box
// and 3GPP "loci" box of the movie's or a track's user data, and each item
// of a metadata list whose key names a place (a phone's
// "com.apple.quicktime.location.ISO6709"), becomes a "free" box of zeros;
// in a Matroska file (WebM, MKV), each SimpleTag named LOCATION becomes a
// Void element. Returns how many entries were blanked; AVI holds no place
// and is left as it is.
std::size_t blankVideoLocation(std::string& bytes, VideoFormat format);

}  // namespace lumigal
