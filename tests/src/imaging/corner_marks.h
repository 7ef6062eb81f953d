// Images whose corners tell how they were turned, for the orientation tests:
// a grey image with a red block in its stored top-left corner and a green one
// in its stored top-right corner, and what colour a corner of an image shows.
#pragma once

#include <cstddef>
#include <vector>

#include "magick_image.h"

namespace lumigal::test {

// `width` x `height` RGB bytes, the top third marked.
inline std::vector<unsigned char> markedCorners(unsigned width, unsigned height) {
    std::vector<unsigned char> rgb(std::size_t{width} * height * 3, 128);
    for (unsigned y = 0; y < height / 3; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            unsigned char* p = &rgb[(std::size_t{y} * width + x) * 3];
            if (x < width / 3) p[0] = 220, p[1] = 30, p[2] = 30;
            if (x >= width - width / 3) p[0] = 30, p[1] = 200, p[2] = 30;
        }
    }
    return rgb;
}

enum Corner { TL, TR, BL, BR };

// 'r', 'g' or '-' (neither) at `inset` pixels from a corner of the image.
inline char cornerColour(const Image& image, Corner corner, ssize_t inset = 1) {
    const ssize_t x = (corner == TR || corner == BR) ? ssize_t(image.columns) - 1 - inset : inset;
    const ssize_t y = (corner == BL || corner == BR) ? ssize_t(image.rows) - 1 - inset : inset;
    ExceptionPtr exception(AcquireExceptionInfo());
    const PixelPacket* p = GetVirtualPixels(&image, x, y, 1, 1, exception.get());
    if (!p) return '?';
    const long r = ScaleQuantumToChar(p->red), g = ScaleQuantumToChar(p->green),
               b = ScaleQuantumToChar(p->blue);
    if (r > g + 60 && r > b + 60) return 'r';
    if (g > r + 60 && g > b + 60) return 'g';
    return '-';
}

}  // namespace lumigal::test
