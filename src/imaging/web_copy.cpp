#include "imaging/web_copy.h"

#include <magick/api.h>

#include <memory>

#include "magick_image.h"
#include "reduced_read.h"

namespace lumigal {

namespace {

struct BlobDeleter {
    void operator()(void* blob) const { RelinquishMagickMemory(blob); }
};
using BlobPtr = std::unique_ptr<void, BlobDeleter>;

constexpr std::size_t kWebJpegQuality = 85;

// The image reduced to `size`, upright, read small where its format allows.
ImagePtr readReduced(const std::string& source, const ImageHeader& header, std::size_t width,
                     std::size_t height, std::string& error) {
    ImagePtr image;
    if (header.format == ImageFormat::PNG && header.orientation == 1) {
        std::string ignored;
        image = readPngReduced(source, width, height, ignored);
    }
    if (!image) {
        image = readImageFirstFrame(source, error,
                                    std::to_string(width) + "x" + std::to_string(height));
    }
    if (!image) return nullptr;
    if (image->columns != width || image->rows != height) {
        ExceptionPtr exception(AcquireExceptionInfo());
        ImagePtr resized(ResizeImage(image.get(), width, height, TriangleFilter, 1.0,
                                     exception.get()));
        if (!resized || exception->severity >= ErrorException) {
            error = "mémoire insuffisante pour la réduire";
            return nullptr;
        }
        image = std::move(resized);
    }
    return image;
}

}  // namespace

bool encodeWebCopy(const std::string& source, const ImageHeader& header, std::size_t width,
                   std::size_t height, std::string& bytes, std::string& error) {
    ImagePtr image = readReduced(source, header, width, height, error);
    if (!image) return false;
    // What tells where and when it was taken goes; the colour profile stays.
    for (const char* profile : {"exif", "xmp", "iptc", "8bim", "app1"}) {
        DeleteImageProfile(image.get(), profile);
    }
    const ImageInfoPtr info(AcquireImageInfo());
    const char* format = magickName(header.format);
    CopyMagickString(info->magick, format, MaxTextExtent);
    CopyMagickString(image->magick, format, MaxTextExtent);
    info->adjoin = MagickFalse;
    if (header.format == ImageFormat::JPEG) {
        info->quality = kWebJpegQuality;
        image->quality = kWebJpegQuality;
        info->interlace = NoInterlace;
    }
    ExceptionPtr exception(AcquireExceptionInfo());
    std::size_t length = 0;
    const BlobPtr blob(ImageToBlob(info.get(), image.get(), &length, exception.get()));
    if (!blob || length == 0 || exception->severity >= ErrorException) {
        error = std::string("impossible de coder sa copie en ") + format;
        return false;
    }
    bytes.assign(static_cast<const char*>(blob.get()), length);
    return true;
}

}  // namespace lumigal
