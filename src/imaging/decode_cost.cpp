#include "imaging/decode_cost.h"

#include <algorithm>

#include "decode_limits.h"

namespace lumigal {

std::uint64_t decodeCost(const ImageHeader& header, unsigned width, unsigned height) {
    const std::uint64_t w = header.width, h = header.height;
    const auto fileBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(0, header.fileSize));
    if (width == 0 || height == 0) return w * h * 8 + 2 * fileBytes;
    // The early reduction's factor (see decode_limits.h): the hint is twice
    // the thumbnail.
    constexpr std::uint64_t early = 2 * kReducedHint;
    // What is reduced as it is read holds early x early times the
    // thumbnail's 5 running sums, besides the file and what its decoder keeps.
    const std::uint64_t reduced = early * early * std::uint64_t{width} * height * 5 * 4;
    // A PNG, a HEIF image or a TIFF that large both ways is reduced as its
    // rows are decoded, whether it has an alpha channel or not (the header
    // does not tell; an opaque one is from a quarter of that).
    const bool large = w >= 2 * kReduceTranslucentAboveHint * std::uint64_t{width} &&
                       h >= 2 * kReduceTranslucentAboveHint * std::uint64_t{height};
    if (header.format == ImageFormat::PNG && header.colors == 0 && !header.interlaced && large) {
        return 3 * fileBytes + reduced;  // read row by row
    }
    switch (header.format) {
        case ImageFormat::WEBP:  // decoded at twice the thumbnail
            return 3 * fileBytes + 4 * std::uint64_t{width} * height * 4 * 8;
        case ImageFormat::HEIC:
        case ImageFormat::AVIF: {
            const std::uint64_t pw = header.previewWidth, ph = header.previewHeight;
            if (std::min(pw, ph) >= 2 * std::uint64_t{std::min(width, height)} &&
                std::max(pw, ph) >= 2 * std::uint64_t{std::max(width, height)}) {
                return pw * ph * 8 + 2 * fileBytes;  // its thumbnail item
            }
            // A grid a row of tiles at a time: the file, the copy its tiles
            // are read from and the header read's, a row of tiles (up to
            // 1024 pixels high, along the longer side: a turned grid's rows
            // run down the image as shown) and the sums (a 50-megapixel grid
            // measured at 39 MB in all).
            if (large && header.tiled) {
                return 3 * fileBytes + reduced +
                       std::max(w, h) * std::min<std::uint64_t>(std::min(w, h), 1024) * 3;
            }
            // The decoder's frame, libheif's copy and its RGB rows, measured
            // at 12 to 14 bytes a pixel with the AV1 and HEVC decoders.
            return w * h * (large ? 14 : 22) + 2 * fileBytes;
        }
        case ImageFormat::TIFF:
            if (large && header.rowReadable) return 3 * fileBytes + reduced;
            return w * h * 8 + 2 * fileBytes;
        default:
            break;
    }
    if (header.format != ImageFormat::JPEG) return w * h * 8 + 2 * fileBytes;
    const std::uint64_t d = std::min<std::uint64_t>(
        8, std::max<std::uint64_t>(1, std::min(w / (2 * std::uint64_t{width}),
                                               h / (2 * std::uint64_t{height}))));
    const std::uint64_t decoded = ((w + d - 1) / d) * ((h + d - 1) / d) * 8;
    // At 1/8 a progressive JPEG is read from its DC coefficients alone.
    const bool dcOnly = d == 8 && header.eighthReadable;
    const std::uint64_t coefficients = header.interlaced && !dcOnly ? w * h * 6 : 0;
    return decoded + coefficients + 2 * fileBytes;
}

}  // namespace lumigal
