#include "pixels.h"

#include <cstring>

namespace lumigal {

Pixels orientPixels(Pixels image, int orientation) {
    if (orientation < 2 || orientation > 8) return image;
    const std::size_t w = image.width, h = image.height;
    const auto n = static_cast<std::size_t>(image.channels);
    const bool quarter = orientation >= 5;
    Pixels out;
    out.width = quarter ? h : w;
    out.height = quarter ? w : h;
    out.channels = image.channels;
    out.samples.resize(image.samples.size());
    // For each shown pixel (x, y), the stored pixel it comes from.
    for (std::size_t y = 0; y < out.height; ++y) {
        std::uint8_t* to = out.samples.data() + y * out.width * n;
        for (std::size_t x = 0; x < out.width; ++x, to += n) {
            std::size_t sx = x, sy = y;
            switch (orientation) {
                case 2: sx = w - 1 - x; break;
                case 3: sx = w - 1 - x; sy = h - 1 - y; break;
                case 4: sy = h - 1 - y; break;
                case 5: sx = y; sy = x; break;
                case 6: sx = y; sy = h - 1 - x; break;
                case 7: sx = w - 1 - y; sy = h - 1 - x; break;
                default: sx = w - 1 - y; sy = x; break;  // 8
            }
            std::memcpy(to, image.samples.data() + (sy * w + sx) * n, n);
        }
    }
    return out;
}

}  // namespace lumigal
