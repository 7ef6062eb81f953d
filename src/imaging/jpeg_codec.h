// JPEG decoding brought down to a size while it loads, and JPEG encoding,
// on the JPEG library directly, 8 bits a sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "decode_limits.h"
#include "pixels.h"

namespace lumigal {

enum class DecodeResult {
    Done,
    NotHandled,  // a kind of image these readers leave to the image library
    Failed,      // `error` says why, in French
};

// `data`, a JPEG, as grey or RGB pixels of exactly `width` x `height` (in
// its stored orientation): the decoder scales by 1/2, 1/4 or 1/8 while it
// loads as long as the result keeps at least that size, and the rest is a
// triangle filter over the rows as they come. `icc` receives its colour
// profile (empty without one). CMYK images are not handled.
DecodeResult decodeJpegReduced(const std::uint8_t* data, std::size_t size, std::size_t width,
                               std::size_t height, const DecodeLimits& limits, Pixels& image,
                               std::vector<std::uint8_t>& icc, std::string& error);

// Whether decodeJpegReduced handles `data`: its header is readable and its
// colours are grey or YCbCr/RGB (not CMYK).
bool jpegHandled(const std::uint8_t* data, std::size_t size);

// The scale 1/n (n = 1, 2, 4 or 8) a `fromWidth` x `fromHeight` JPEG is
// decoded at to be brought to `width` x `height`.
int jpegScaleDenominator(std::size_t fromWidth, std::size_t fromHeight, std::size_t width,
                         std::size_t height);

// `image` (1 or 3 channels) as a baseline JPEG of the given quality, with
// the colour profile `icc` when it is not empty and no other metadata.
bool encodeJpeg(const Pixels& image, const std::vector<std::uint8_t>& icc, int quality,
                std::string& bytes, std::string& error);

}  // namespace lumigal
