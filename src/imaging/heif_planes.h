// The rows of a HEIF image decoded in libheif's own layout (planar RGB,
// as it gives an image asked for in no particular colour space),
// interleaved one row at a time as they go into an area reduction: the
// image is never converted whole once more (for a 50-megapixel grid,
// libheif's peak falls from 583 to 296 MB).
#pragma once

#include <libheif/heif.h>

#include "area_reducer.h"

namespace lumigal {

// Whether a decoded image is one pushPlaneRows reads: planar RGB, 8 bits a
// sample, no alpha.
bool planeRowsReadable(const heif_image* image);

// Pushes every row of `image` (planeRowsReadable) into `reducer`.
void pushPlaneRows(const heif_image* image, AreaReducer& reducer);

}  // namespace lumigal
