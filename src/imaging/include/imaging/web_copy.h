// A web copy of an image: upright, brought down to a given size, without
// its EXIF, XMP and IPTC data (where a camera or a phone keeps the place a
// photo was taken), its colour profile kept, encoded in its own format (a
// JPEG at a web quality for a JPEG photo), or as a JPEG for a format that
// browsers do not show (HEIC, TIFF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "imaging/image_io.h"

namespace lumigal {

// Asked, before any decoding, for the memory the copy takes while it is
// made (the file, what the decoder keeps, the pixels), in bytes: it takes
// it and says true, or, when `wait` is false and the memory is not free
// now, says false (the file is then let go and read again once it has
// waited). What it takes is held until encodeWebCopy returns.
using MemoryReserve = std::function<bool(std::uint64_t bytes, bool wait)>;

// The encoded copy of `source` (whose header is `header`) at `width` x
// `height`; false with `error` set (French, without the path) otherwise.
// JPEG (grey or RGB) and PNG (not interlaced) photos are decoded 8 bits a
// sample by their own libraries, reduced while they load; the others go
// through the image library.
bool encodeWebCopy(const std::string& source, const ImageHeader& header, std::size_t width,
                   std::size_t height, std::string& bytes, std::string& error,
                   const MemoryReserve& reserve = {});

}  // namespace lumigal
