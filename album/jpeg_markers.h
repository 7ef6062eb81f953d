// JPEG segments that only carry metadata the album never shows.
#pragma once

#include <cstdint>
#include <vector>

namespace lumigal {

// `data` without its XMP segments (APP1 with the XMP or extended-XMP
// namespace) before the first scan; everything else, the scan data
// included, byte for byte. Data that are not a well-formed JPEG header
// come back unchanged. XMP may take megabytes in dozens of segments, which
// the image library joins one by one, at a cost that grows with the square
// of their number; nothing of it is needed to read the image.
bool stripJpegXmp(std::vector<std::uint8_t>& data);

}  // namespace lumigal
