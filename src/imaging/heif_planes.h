// The rows of a HEIF image decoded in its own planes (YCbCr as coded, or
// the planar RGB libheif makes of a grid), interleaved as RGB one row at a
// time as they go into an area reduction: the image is never converted
// whole once more (for a 50-megapixel grid, libheif's peak falls from 583 to
// 296 MB).
#pragma once

#include <libheif/heif.h>

#include "area_reducer.h"

namespace lumigal {

// Whether a decoded image has planes that pushPlaneRows reads: 8 bits a
// sample, planar RGB, monochrome or YCbCr 4:2:0, 4:2:2 or 4:4:4, no alpha,
// and a colour description (or none) with BT.601, BT.709 or BT.2020
// coefficients.
bool planeRowsReadable(const heif_image* image);

// Pushes every row of `image` (planeRowsReadable), as RGB, into `reducer`.
// The chroma of a subsampled row is that of its nearest sample, as libheif's
// own conversion takes it.
void pushPlaneRows(const heif_image* image, AreaReducer& reducer);

}  // namespace lumigal
