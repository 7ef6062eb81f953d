// Reads WebP images through libwebp directly: the header without decoding
// anything (the image library's reader decodes the whole image even to
// tell its size), and the pixels at a reduced size, which libwebp's own
// scaling makes row by row while it decodes (an area average).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "magick_image.h"

namespace lumigal {

struct WebpFeatures {
    std::size_t width = 0;
    std::size_t height = 0;
    bool alpha = false;
    bool animated = false;
};

// What the header of `data` tells; nullopt when it is no WebP header.
std::optional<WebpFeatures> webpFeatures(const std::uint8_t* data, std::size_t size);

// A header-only image (as a ping gives it) of a WebP's size.
ImagePtr pingWebp(const WebpFeatures& features);

// The still image of `data`, decoded whole, or scaled down while it is
// decoded to the smallest size, of the same shape, that is at least
// `minWidth` x `minHeight` (0 x 0: the full size). nullptr with `error`
// set (French) when it is damaged or the memory is refused; an animation is
// not read here (nullptr, `error` empty).
ImagePtr decodeWebp(const std::uint8_t* data, std::size_t size, std::size_t minWidth,
                    std::size_t minHeight, std::string& error);

}  // namespace lumigal
