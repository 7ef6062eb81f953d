// Reads HEIC/HEIF and AVIF images through libheif directly: from the
// file's own thumbnail item when that is large enough for what is wanted
// (a phone photo of 12 megapixels carries one of about 320 x 240), else the
// primary image whole. libheif applies the image's transformations (its
// turns and mirrors), so the image comes as shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "magick_image.h"

namespace lumigal {

// The primary image of `data` as shown, from a thumbnail item that is at
// least `minWidth` x `minHeight` and of the same shape (given a non-zero
// minimum), else decoded whole. At most `maxSide` pixels a side and
// `maxArea` pixels in all are decoded (over that: nullptr, `error` "image
// trop grande"). nullptr with `error` empty when libheif cannot read it:
// the caller then lets the image library try, and tell why. A decoded image
// of kReduceAboveHint times the minimum or more (kReduceTranslucentAboveHint
// with alpha) comes reduced as it is read (see decode_limits.h).
ImagePtr decodeHeif(const std::uint8_t* data, std::size_t size, std::size_t minWidth,
                    std::size_t minHeight, std::uint64_t maxSide, std::uint64_t maxArea,
                    std::string& error);

// The size of the largest thumbnail item of the primary image that has its
// shape (0 x 0 without one), from the file's boxes alone.
struct HeifPreview {
    std::size_t width = 0, height = 0;
};
HeifPreview largestHeifThumbnail(const std::uint8_t* data, std::size_t size);

}  // namespace lumigal
