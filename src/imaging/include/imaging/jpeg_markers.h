// JPEG segments: metadata the album never shows, the EXIF orientation and
// what a frame costs to decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/image_io.h"

namespace lumigal {

// `data` without its XMP segments (APP1 with the XMP or extended-XMP
// namespace) before the first scan; everything else, the scan data
// included, byte for byte. Data that are not a well-formed JPEG header
// come back unchanged. XMP may take megabytes in dozens of segments, which
// the image library joins one by one, at a cost that grows with the square
// of their number; nothing of it is needed to read the image.
bool stripJpegXmp(std::vector<std::uint8_t>& data);

// The EXIF orientation of a JPEG, 1 to 8 as the Orientation tag numbers
// them (1: as stored; 5 to 8 swap width and height): the tag of the first
// IFD in the first APP1 "Exif" segment before the first scan. 1 when there
// is none, or when the segment or the tag is damaged or out of range.
int jpegOrientation(const std::uint8_t* data, std::size_t size);

// The same from a TIFF structure ("II" or "MM", as EXIF data hold it).
int tiffOrientation(const std::uint8_t* data, std::size_t size);

// The EXIF orientation that the decoder leaves to us: that of a JPEG, of a
// TIFF's first directory and of a WebP's EXIF chunk; 1 for the other
// formats (a HEIF image comes turned by libheif).
int storedOrientation(ImageFormat format, const std::uint8_t* data, std::size_t size);

// What the JPEG library holds for the frame of `data`, from its frame
// header and its first scan header.
struct JpegFrameMemory {
    std::size_t width = 0;
    std::size_t height = 0;
    // The scans each hold part of the image (progressive, or not all the
    // components in the first scan): the library keeps the coefficients of
    // the whole image until the last scan, at any output scale.
    bool multiScan = false;
    std::uint64_t coefficientBytes = 0;  // those coefficients, in bytes
};
// nullopt when the data have no well-formed frame header before a scan.
std::optional<JpegFrameMemory> jpegFrameMemory(const std::uint8_t* data, std::size_t size);

}  // namespace lumigal
