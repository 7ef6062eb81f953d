// The camera and its settings in one line, as the viewer shows them:
// « Canon EOS 80D · EF-S 18-55mm · 35 mm · f/5,6 · 1/250 s · ISO 200 ».
#pragma once

#include <string>

#include "imaging/photo_metadata.h"

namespace lumigal {

// The fields the photo has, in that order, separated by « · »; numbers
// with a decimal comma; the make left out when the model names it already.
// Empty when the photo says none of them.
std::string cameraLine(const PhotoMetadata& metadata);

}  // namespace lumigal
