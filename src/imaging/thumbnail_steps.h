// The steps that the thumbnail makers share (the classic command processor
// of thumbnail.cpp and the photo thumbnails of photo_thumbnail.cpp): the
// format a name asks for, the early reduction of a large source, the
// encoding in memory.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/image_io.h"
#include "imaging/thumbnail.h"
#include "magick_image.h"

namespace lumigal::thumbnail_steps {

struct BlobDeleter {
    void operator()(void* blob) const { RelinquishMagickMemory(blob); }
};
using BlobPtr = std::unique_ptr<void, BlobDeleter>;

inline constexpr std::string_view kJpegPrefix = "JPEG:";

// ASCII letters compared with case ignored.
bool equalsNoCase(std::string_view a, std::string_view b);

// The format that a thumbnail name asks for: a "JPEG:" prefix, else the
// extension; nullopt when the extension names none of the formats.
std::optional<ImageFormat> formatOfName(std::string_view name, bool hasJpegPrefix);

// The format an image was decoded from, JPEG for one that browsers do not
// show (HEIC and TIFF); PNG when unknown.
ImageFormat formatOfImage(const Image& image);

// Encodes `image` in `format`; the request's quality, when it has one, is
// the image's quality (the JPEG encoder reads it there).
BlobPtr encodeImage(const ImageInfo& request, Image& image, ImageFormat format, std::size_t& length,
                    std::string& message);

// A source larger than kEarlyFactor times the thumbnail in both directions
// (2 x kReduceTranslucentAboveHint times with an alpha channel) is reduced
// to exactly kEarlyFactor times its size first.
inline constexpr std::size_t kEarlyFactor = 4;
ImagePtr reduceBeforeOptions(ImagePtr image, ThumbnailSize size);

// Whether the source is worth reading through the row-by-row reduction.
bool shouldStream(const std::string& source, ThumbnailSize size);

}  // namespace lumigal::thumbnail_steps
