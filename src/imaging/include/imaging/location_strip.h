// A copy of a photo at its own size without the place where it was taken:
// its metadata rewritten, its pixels left as they are (a JPEG's scan data
// byte for byte, a PNG's image chunks untouched).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/image_io.h"

namespace lumigal {

struct LocationStripped {
    std::vector<std::uint8_t> bytes;  // the file as it is to be copied
    std::optional<ImageFormat> format;  // what its content is; nullopt: none of ours
    // How many location tags were removed: the EXIF GPS directory's tags,
    // XMP exif:GPS*, and the IPTC and XMP place names (city, region,
    // country, sublocation, location created or shown), and of a JPEG the
    // further EXIF or XMP segments that hold one and its extended XMP
    // segments. 0: `bytes` are the data as given.
    std::size_t removed = 0;
};

// `data` without its location. JPEG, PNG and WebP are rewritten; the other
// formats carry no location that a browser would be given (a HEIC or TIFF
// is only ever published re-encoded) and come back unchanged. nullopt with
// `error` set (French) when the metadata hold a location that cannot be
// removed (damaged blocks, or a format that cannot be rewritten).
std::optional<LocationStripped> stripLocation(const std::uint8_t* data, std::size_t size,
                                              std::string& error);

}  // namespace lumigal
