// What decoding an image for a thumbnail takes in memory, by the reader
// that its header says will read it.
#pragma once

#include <cstdint>

#include "imaging/image_io.h"

namespace lumigal {

// About the memory that making a thumbnail of this source takes, as
// measured with this ImageMagick: its bytes (read twice: header, then
// pixels) and its decoded pixels at 8 bytes each, a JPEG being decoded
// shrunk but a progressive JPEG also keeping all its coefficients (2
// bytes per sample) unless it is read from its DC coefficients, a WebP
// decoded shrunk, a HEIF image from its thumbnail item when it has one
// large enough, and a large PNG or TIFF being reduced as it is read.
// `width` x `height` is the thumbnail; 0 x 0: the image decoded whole.
std::uint64_t decodeCost(const ImageHeader& header, unsigned width, unsigned height);

}  // namespace lumigal
