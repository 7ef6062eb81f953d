// Sizes as people read them, in French: « 850 octets », « 12 Ko »,
// « 1,2 Mo », « 1600 × 1200 ».
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

}  // namespace lumigal
