// Decoded 8-bit pixels of the imaging library's own readers and writers,
// and what is done to them without any image library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumigal {

// Rows top to bottom, `channels` samples a pixel: 1 grey, 2 grey and
// alpha, 3 RGB, 4 RGBA (the alpha last, not premultiplied).
struct Pixels {
    std::size_t width = 0;
    std::size_t height = 0;
    int channels = 0;
    std::vector<std::uint8_t> samples;
};

// `image` as shown for an EXIF orientation (2 to 8: mirrored, turned, or
// both; 5 to 8 swap width and height). 1 or any other value: unchanged.
Pixels orientPixels(Pixels image, int orientation);

}  // namespace lumigal
