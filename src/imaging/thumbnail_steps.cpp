#include "thumbnail_steps.h"

#include "common/paths.h"
#include "decode_limits.h"

namespace lumigal::thumbnail_steps {

// Decoders that reduce as they read make the same reduction (the hint is
// twice the thumbnail).
static_assert(kEarlyFactor == 2 * kReducedHint && kEarlyFactor == 2 * kReduceAboveHint);

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The format that a thumbnail name asks for: a "JPEG:" prefix, else the
// extension; nullopt when the extension names none of the formats.
std::optional<ImageFormat> formatOfName(std::string_view name, bool hasJpegPrefix) {
    if (hasJpegPrefix) return ImageFormat::JPEG;
    std::string_view ext = fileExtension(name);
    if (!ext.empty()) ext.remove_prefix(1);
    struct Entry {
        const char* ext;
        ImageFormat format;
    };
    static constexpr Entry kTable[] = {
        {"bmp", ImageFormat::BMP},  {"dib", ImageFormat::DIB},  {"gif", ImageFormat::GIF},
        {"jpg", ImageFormat::JPEG}, {"jpe", ImageFormat::JPEG}, {"jpeg", ImageFormat::JPEG},
        {"png", ImageFormat::PNG},  {"xbm", ImageFormat::XBM},  {"webp", ImageFormat::WEBP},
        {"avif", ImageFormat::AVIF},
    };
    for (const Entry& e : kTable) {
        if (equalsNoCase(ext, e.ext)) return e.format;
    }
    return std::nullopt;
}

// The format an image was decoded from, JPEG for one that browsers do not
// show (HEIC and TIFF); PNG when unknown.
ImageFormat formatOfImage(const Image& image) {
    for (ImageFormat f : {ImageFormat::BMP, ImageFormat::DIB, ImageFormat::GIF, ImageFormat::JPEG,
                          ImageFormat::PNG, ImageFormat::XBM, ImageFormat::WEBP, ImageFormat::HEIC,
                          ImageFormat::AVIF, ImageFormat::TIFF}) {
        if (equalsNoCase(image.magick, magickName(f))) return browserShows(f) ? f : ImageFormat::JPEG;
    }
    return ImageFormat::PNG;
}

// Encodes `image` in `format`; the request's quality, when it has one, is
// the image's quality (the JPEG encoder reads it there).
BlobPtr encodeImage(const ImageInfo& request, Image& image, ImageFormat format, std::size_t& length,
                    std::string& message) {
    ImageInfoPtr info(CloneImageInfo(&request));
    *info->filename = '\0';
    CopyMagickString(info->magick, magickName(format), MaxTextExtent);
    info->adjoin = MagickFalse;
    if (request.quality != 0) image.quality = request.quality;
    ExceptionPtr exception(AcquireExceptionInfo());
    length = 0;
    BlobPtr blob(ImageToBlob(info.get(), &image, &length, exception.get()));
    if (!blob || length == 0 || exception->severity >= ErrorException) {
        message = std::string("Impossible de coder la vignette en ") + magickName(format);
        return nullptr;
    }
    return blob;
}

// Reduces a source that is larger than 4 times the thumbnail in both
// directions (16 times with an alpha channel) to exactly 4 times its size
// (an area average, like the final scale), so that the options work on far
// fewer pixels.
ImagePtr reduceBeforeOptions(ImagePtr image, ThumbnailSize size) {
    constexpr std::size_t kKeep = kEarlyFactor;
    const std::size_t w = size.width, h = size.height;
    const std::size_t above = image->matte ? 2 * kReduceTranslucentAboveHint : kKeep;
    if (image->columns < above * w || image->rows < above * h ||
        (image->columns == kKeep * w && image->rows == kKeep * h)) {
        return image;
    }
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr reduced(ScaleImage(image.get(), kKeep * w, kKeep * h, exception.get()));
    if (!reduced || exception->severity >= ErrorException) return image;
    return reduced;
}

// Whether the source is worth reading through the row-by-row reduction:
// a PNG name (the content is checked there) and a size that can overflow
// the early reduction are enough to try; it falls back on a full read.
bool shouldStream(const std::string& source, ThumbnailSize size) {
    if (size.width == 0 || size.height == 0) return false;
    const std::string_view ext = fileExtension(source);
    return equalsNoCase(ext, ".png");
}

}  // namespace lumigal::thumbnail_steps
