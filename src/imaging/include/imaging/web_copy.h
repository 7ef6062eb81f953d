// A web copy of an image: upright, brought down to a given size, without
// its EXIF, XMP and IPTC data (where a camera or a phone keeps the place a
// photo was taken), its colour profile kept, encoded in its own format (a
// JPEG at a web quality for a JPEG photo).
#pragma once

#include <cstddef>
#include <string>

#include "imaging/image_io.h"

namespace lumigal {

// The encoded copy of `source` (whose header is `header`) at `width` x
// `height`; false with `error` set (French, without the path) otherwise.
bool encodeWebCopy(const std::string& source, const ImageHeader& header, std::size_t width,
                   std::size_t height, std::string& bytes, std::string& error);

}  // namespace lumigal
