// What a photo's own metadata (EXIF, IPTC, XMP) tell about it: the caption
// its author wrote, when it was taken and with what settings. Read from
// the file's bytes already in memory, for JPEG, PNG, WebP, TIFF and
// HEIC/AVIF; a damaged or missing block gives empty fields, never an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumigal {

inline constexpr std::size_t kMaxCaptionBytes = 2000;

struct PhotoMetadata {
    // The caption: XMP dc:description (its x-default text), else the IPTC
    // caption (2:120), else the EXIF ImageDescription, else the EXIF
    // UserComment. UTF-8 (Latin-1 read as such), control characters as
    // spaces, blanks trimmed, at most kMaxCaptionBytes. Not escaped.
    std::string caption;
    // When it was taken, "YYYY-MM-DDTHH:MM:SS" (DateTimeOriginal, else
    // CreateDate / DateTimeDigitized); empty when unknown. `captureOffset`
    // is its offset from UTC ("+02:00") when the file says it.
    std::string captureTime;
    std::string captureOffset;
    // The camera and its settings; empty or 0 when unknown.
    std::string make, model, lens;
    double focalLength = 0;    // millimetres
    double aperture = 0;       // the f-number
    std::string exposureTime;  // seconds: "1/250", "2", "0.5"
    unsigned iso = 0;
};

// The metadata of the image file data `data`.
PhotoMetadata readPhotoMetadata(const std::uint8_t* data, std::size_t size);

}  // namespace lumigal
