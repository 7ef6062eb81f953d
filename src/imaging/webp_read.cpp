#include "webp_read.h"

#include <webp/decode.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace lumigal {

std::optional<WebpFeatures> webpFeatures(const std::uint8_t* data, std::size_t size) {
    WebPBitstreamFeatures features;
    if (!data || WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return std::nullopt;
    if (features.width <= 0 || features.height <= 0) return std::nullopt;
    WebpFeatures result;
    result.width = static_cast<std::size_t>(features.width);
    result.height = static_cast<std::size_t>(features.height);
    result.alpha = features.has_alpha != 0;
    result.animated = features.has_animation != 0;
    return result;
}

ImagePtr pingWebp(const WebpFeatures& features) {
    ImageInfoPtr info(AcquireImageInfo());
    ImagePtr image(AcquireImage(info.get()));
    if (!image) return nullptr;
    image->columns = features.width;
    image->rows = features.height;
    image->matte = features.alpha ? MagickTrue : MagickFalse;
    CopyMagickString(image->magick, "WEBP", MaxTextExtent);
    return image;
}

namespace {

// The smallest size of the image's shape that is at least min both ways
// (rounded up), never above the image's own.
std::pair<std::size_t, std::size_t> scaledSize(std::size_t width, std::size_t height,
                                               std::size_t minWidth, std::size_t minHeight) {
    if (minWidth == 0 || minHeight == 0 || minWidth >= width || minHeight >= height) {
        return {width, height};
    }
    // Scale by the larger of the two ratios so both sides stay >= min.
    if (minWidth * height >= minHeight * width) {
        return {minWidth, std::max<std::size_t>(minHeight, (height * minWidth + width - 1) / width)};
    }
    return {std::max<std::size_t>(minWidth, (width * minHeight + height - 1) / height), minHeight};
}

// The ICCP chunk of an extended WebP (RIFF chunks: a four-letter name, a
// little-endian size, the data padded to an even size), empty without one.
std::pair<const std::uint8_t*, std::size_t> webpIccProfile(const std::uint8_t* data, std::size_t size) {
    const auto le32 = [&](std::size_t at) {
        return std::uint32_t{data[at]} | std::uint32_t{data[at + 1]} << 8 |
               std::uint32_t{data[at + 2]} << 16 | std::uint32_t{data[at + 3]} << 24;
    };
    if (size < 12 || std::memcmp(data + 8, "WEBP", 4) != 0) return {nullptr, 0};
    for (std::size_t at = 12; at + 8 <= size;) {
        const std::size_t length = le32(at + 4);
        if (length > size - at - 8) break;
        if (std::memcmp(data + at, "ICCP", 4) == 0) return {data + at + 8, length};
        at += 8 + length + (length & 1);
    }
    return {nullptr, 0};
}

}  // namespace

ImagePtr decodeWebp(const std::uint8_t* data, std::size_t size, std::size_t minWidth,
                    std::size_t minHeight, std::string& error) {
    error.clear();
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config) || WebPGetFeatures(data, size, &config.input) != VP8_STATUS_OK) {
        error = "image illisible ou endommagée";
        return nullptr;
    }
    if (config.input.has_animation) return nullptr;
    const auto [w, h] = scaledSize(static_cast<std::size_t>(config.input.width),
                                   static_cast<std::size_t>(config.input.height), minWidth, minHeight);
    if (w != static_cast<std::size_t>(config.input.width) ||
        h != static_cast<std::size_t>(config.input.height)) {
        config.options.use_scaling = 1;
        config.options.scaled_width = static_cast<int>(w);
        config.options.scaled_height = static_cast<int>(h);
    }
    const bool alpha = config.input.has_alpha != 0;
    const std::size_t channels = alpha ? 4 : 3;
    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(w * h * channels);
    } catch (const std::bad_alloc&) {
        error = "image trop grande";
        return nullptr;
    }
    config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = pixels.data();
    config.output.u.RGBA.stride = static_cast<int>(w * channels);
    config.output.u.RGBA.size = pixels.size();
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
        error = status == VP8_STATUS_OUT_OF_MEMORY ? "image trop grande"
                                                   : "image illisible ou endommagée";
        return nullptr;
    }
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr image(ConstituteImage(w, h, alpha ? "RGBA" : "RGB", CharPixel, pixels.data(),
                                   exception.get()));
    if (!image || exception->severity >= ErrorException) {
        error = "image trop grande";
        return nullptr;
    }
    CopyMagickString(image->magick, "WEBP", MaxTextExtent);
    const auto [icc, iccSize] = webpIccProfile(data, size);
    attachIccProfile(*image, icc, iccSize);
    return image;
}

}  // namespace lumigal
