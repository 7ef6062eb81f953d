// The metadata library, started once for the whole program: its XMP
// parser is made ready before any thread uses it, and its warnings, which
// it would print on standard error, are silenced (a damaged block simply
// gives nothing).
#pragma once

#include <cstddef>
#include <cstdint>

#include <exiv2/exiv2.hpp>

#include "imaging/image_io.h"

namespace lumigal {

void startMetadataLibrary();

// The file `data` opened by the metadata library as the `format` that its
// bytes were found to be (JPEG, PNG, WebP or TIFF; anything else gives
// null). The library never guesses the type itself: its guess takes
// damaged photos for containers of other kinds (a video, a raw file) whose
// readers do not end on hostile input.
Exiv2::Image::AutoPtr openMetadataAs(ImageFormat format, const std::uint8_t* data, std::size_t size);

}  // namespace lumigal
