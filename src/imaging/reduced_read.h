// Reads a large true-colour PNG row by row straight into an area average
// of a smaller size, so that its full-size pixels are never held in memory.
// ImageMagick checks the file and reads its attributes; libpng reads the
// chunks before the image data, and the rows of an 8-bit RGB or RGBA image
// come from our own reader (png_idat_rows.h), those of any other from libpng
// (ImageMagick's own PNG reader holds the whole image even when streaming).
#pragma once

#include <cstddef>
#include <string>

#include "magick_image.h"

namespace lumigal {

// The image of `path` reduced to exactly `width` x `height` pixels by an
// area average (each pixel the mean of the source area it covers, as
// ScaleImage makes it), when the file is a PNG, not interlaced and without
// a colour map, that is at least twice as large as that in both directions
// (`translucentFactor` times with an alpha channel or a transparent
// colour). nullptr otherwise, or when it cannot be read (`error` then says
// why, in French): the caller reads the file the usual way.
ImagePtr readPngReduced(const std::string& path, std::size_t width, std::size_t height,
                        std::string& error, std::size_t translucentFactor = 2);

}  // namespace lumigal
