// A TIFF read row by row from libtiff straight into the early reduction,
// so that a large scan or photo is never held whole at 16 bits a sample.
#pragma once

#include <cstddef>
#include <cstdint>

#include "magick_image.h"

namespace lumigal {

// The first image of the TIFF in `data`, reduced as it is read (see
// kReduceAboveHint in decode_limits.h, kReduceTranslucentAboveHint with an
// alpha channel) for a size hint of `minWidth` x
// `minHeight`, as stored (its orientation not applied). nullptr when it is
// not that large, not in strips of 8-bit grey or RGB samples (alpha
// unassociated), larger than `maxArea`, or cannot be read: the caller then
// reads it the usual way, which names what is wrong.
ImagePtr readTiffReduced(const std::uint8_t* data, std::size_t size, std::size_t minWidth,
                         std::size_t minHeight, std::uint64_t maxArea);

// Whether readTiffReduced takes the first image of this TIFF when it is
// large enough (libtiff reads its tags; no pixel is decoded).
bool tiffRowsReadable(const std::uint8_t* data, std::size_t size);

}  // namespace lumigal
