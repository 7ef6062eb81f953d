// The Exif and XMP items of a HEIC/HEIF or AVIF file's primary image,
// through libheif, as the metadata library parses them from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumigal {

struct HeifMetadata {
    std::vector<std::uint8_t> exif;  // TIFF data ("II" or "MM" first); empty: none
    std::string xmp;                 // the XMP packet; empty: none
};
HeifMetadata heifMetadata(const std::uint8_t* data, std::size_t size);

}  // namespace lumigal
