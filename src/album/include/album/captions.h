// The caption and the rest of a photo's own metadata (imaging/photo_metadata.h)
// for the page, from a file that no decode has read.
#pragma once

#include <string>

#include "imaging/photo_metadata.h"

namespace lumigal {

// The metadata of the file at `path`; empty fields when it has none or
// cannot be read.
PhotoMetadata imageMetadata(const std::string& path);

// Its caption alone.
std::string imageCaption(const std::string& path);

}  // namespace lumigal
