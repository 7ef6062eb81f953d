// PNG decoding brought down to a size row by row, and PNG encoding, on the
// PNG library directly, 8 bits a sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "decode_limits.h"
#include "jpeg_codec.h"
#include "pixels.h"

namespace lumigal {

// What tells how a PNG's samples are to be shown: kept in a copy, while
// its text, time and EXIF chunks are not.
struct PngColour {
    std::vector<std::uint8_t> icc;
    std::string iccName;
    int srgbIntent = -1;  // the sRGB chunk's rendering intent; -1 without one
    bool hasGamma = false;
    std::int32_t gamma = 0;  // the gAMA chunk, times 100000
    bool hasChromaticities = false;
    std::int32_t chromaticities[8] = {};  // the cHRM chunk, white x y, red, green, blue
};

// `data`, a PNG that is not interlaced, as 8-bit pixels of exactly `width`
// x `height`: each row is brought down as the library decodes it, so the
// full-size image is never held. Grey stays grey; a colour map and a
// transparent colour become RGB and alpha; 16-bit samples become 8-bit.
DecodeResult decodePngReduced(const std::uint8_t* data, std::size_t size, std::size_t width,
                              std::size_t height, const DecodeLimits& limits, Pixels& image,
                              PngColour& colour, std::string& error);

// `image` as a PNG with `colour` and no other chunk.
bool encodePng(const Pixels& image, const PngColour& colour, std::string& bytes, std::string& error);

}  // namespace lumigal
