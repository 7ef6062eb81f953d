// Sizes as people read them, in French: « 850 octets », « 12 Ko »,
// « 1,2 Mo », « 1600 × 1200 », « 1:02 », « H.264 ».
#pragma once

#include <cstdint>
#include <string>

namespace lumigal {

// A file size in bytes, in units of 1024: under 1 Ko in octets, then Ko, Mo,
// Go, To, with one decimal (a comma) under 10 units and none above; rounded
// to the nearest, so that 1023.9 Ko reads « 1,0 Mo », not « 1024 Ko ».
std::string humanBytes(std::uint64_t bytes);

// Dimensions in pixels: « 1600 × 1200 » (a multiplication sign).
std::string humanDimensions(std::uint64_t width, std::uint64_t height);

// A running time: « 0:07 », « 12:34 », « 1:02:03 » (rounded to the
// nearest second; empty for 0 or less, or a time no video runs).
std::string humanDuration(double seconds);

// A video codec as people know it, from FFmpeg's short name: « H.264 »,
// « HEVC », « VP9 », « AV1 »; any other in capitals.
std::string videoCodecName(const std::string& codec);

}  // namespace lumigal
