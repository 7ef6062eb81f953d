#include <string_view>

#include "imaging/image_library.h"
#include "imaging/thumbnail.h"
#include "decode_limits.h"
#include "magick_image.h"
#include "reduced_read.h"
#include "thumbnail_source.h"
#include "thumbnail_steps.h"

namespace lumigal {

namespace {

using namespace thumbnail_steps;

ThumbnailSize doubled(ThumbnailSize size) { return {2 * size.width, 2 * size.height}; }
ThumbnailSize turned(ThumbnailSize size, int orientation) {
    return orientation >= 5 ? ThumbnailSize{size.height, size.width} : size;
}

// Decodes the source as stored, reduced early for a thumbnail of `largest`
// (its size as shown); `orientation` gets what orientImage must apply.
ImagePtr readForThumbnail(const std::string& source, ThumbnailSize largest, int& orientation,
                          std::string& error) {
    orientation = 1;
    ImagePtr image;
    if (shouldStream(source, largest)) {
        std::string ignored;  // a full read follows
        image = readPngReduced(source, kEarlyFactor * largest.width, kEarlyFactor * largest.height,
                               ignored, 2 * kReduceTranslucentAboveHint / kEarlyFactor);
    }
    if (!image) {
        const std::string hint = std::to_string(2 * std::size_t{largest.width}) + "x" +
                                 std::to_string(2 * std::size_t{largest.height});
        image = readImageFirstFrame(source, error, hint, &orientation);
    }
    if (!image) return nullptr;
    return reduceBeforeOptions(std::move(image), turned(largest, orientation));
}

// The pixels in sRGB (a CMYK photo's, say); its colour profile, which
// described the other space, goes with the change. Grey stays grey.
bool toSrgb(Image& image) {
    if (image.colorspace == sRGBColorspace || image.colorspace == GRAYColorspace) return true;
    if (TransformImageColorspace(&image, sRGBColorspace) == MagickFalse) return false;
    DeleteImageProfile(&image, "icc");
    return true;
}

// Whether a colour profile's description names plain sRGB (the usual
// names of the standard profile; an sRGB-primaries profile of another tone
// curve, a linear one say, is no such profile).
bool namesSrgb(std::string_view description) {
    for (std::string_view name : {"sRGB IEC61966-2", "sRGB built-in", "sRGB v4", "sRGB-elle-V2-srgbtrc",
                                  "sRGB-elle-V4-srgbtrc"}) {
        if (description.substr(0, name.size()) == name) return true;
    }
    return description == "sRGB";
}

// What the page serves keeps only what its pixels need; a profile that
// describes sRGB says what a browser assumes anyway and is left out (3 to
// 9 KB, more than a thumbnail of 320 pixels may weigh).
void keepPixelsOnly(Image& image) {
    const char* description = GetImageProperty(&image, "icc:description");
    if (description && namesSrgb(description)) DeleteImageProfile(&image, "icc");
    dropMetadata(image);
}

// `image` (as stored) scaled to `size` (as shown) and turned upright.
ImagePtr scaledUpright(const Image& image, ThumbnailSize size, int orientation) {
    const ThumbnailSize stored = turned(size, orientation);
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr scaled(ScaleImage(&image, stored.width, stored.height, exception.get()));
    if (!scaled || exception->severity >= ErrorException) return nullptr;
    return orientImage(std::move(scaled), orientation);
}

bool encodeInto(const ImageInfo& request, Image& image, ImageFormat format, const std::string& path,
                EncodedThumbnail& encoded, std::string& message) {
    keepPixelsOnly(image);
    std::size_t length = 0;
    const BlobPtr blob = encodeImage(request, image, format, length, message);
    if (!blob) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(blob.get());
    encoded.path = path;
    encoded.bytes.assign(bytes, bytes + length);
    return true;
}

}  // namespace

int RenderPhotoThumbnails(const PhotoThumbnailRequest& request, PhotoThumbnails& made,
                          std::string* error) {
    return renderPhotoThumbnailsFrom({}, request, made, error);
}

int renderPhotoThumbnailsFrom(const ThumbnailSource& reader, const PhotoThumbnailRequest& request,
                              PhotoThumbnails& made, std::string* error) {
    std::string message;
    const auto result = [&](int code) {
        if (error) *error = code == kThumbnailWritten ? std::string() : message;
        return code;
    };
    const ThumbnailSize size = request.size;
    if (size.width == 0 || size.height == 0) {
        message = "Taille de vignette nulle (" + std::to_string(size.width) + " x " +
                  std::to_string(size.height) + ") : aucune vignette n'est faite";
        return result(kThumbnailNotMade);
    }
    std::string output = request.output;
    const bool jpegPrefix = equalsNoCase(output.substr(0, kJpegPrefix.size()), kJpegPrefix);
    if (jpegPrefix) output.erase(0, kJpegPrefix.size());
    if (output.empty()) {
        message = "Aucun nom de vignette n'est donné";
        return result(kThumbnailNotMade);
    }
    if (!imageLibraryStarted()) {
        message = kLibraryNotStarted;
        return result(kThumbnailNotMade);
    }
    const bool wants2x = !request.output2x.empty();
    ImageHeader shown;
    shown.width = request.sourceWidth;
    shown.height = request.sourceHeight;
    if (wants2x && (shown.width == 0 || shown.height == 0)) {
        const std::optional<ImageHeader> header = pingImageFile(request.source, message);
        if (!header) return result(kThumbnailNotMade);
        shown = *header;
    }
    const ThumbnailSize largest = wants2x ? doubled(size) : size;
    int orientation = 1;
    ImagePtr source = reader ? reader(request.source, largest, message)
                             : readForThumbnail(request.source, largest, orientation, message);
    if (!source) return result(kThumbnailNotMade);
    if (!toSrgb(*source)) {
        message = "Impossible de passer l'image en sRGB";
        return result(kThumbnailNotMade);
    }
    const ImageFormat format = formatOfName(output, jpegPrefix).value_or(formatOfImage(*source));
    // Never enlarged: an image smaller than the 2x has none. (The decoded
    // size does not tell: the JPEG decoder may enlarge towards the hint.)
    const bool makes2x = wants2x && shown.width >= 2 * std::size_t{size.width} &&
                         shown.height >= 2 * std::size_t{size.height};

    ImageInfoPtr info(AcquireImageInfo());
    info->quality = request.quality;
    ImagePtr one;
    made.twice.reset();
    const auto sizeFailure = [&](ThumbnailSize s) {
        message = "Impossible de mettre l'image à la taille " + std::to_string(s.width) + " x " +
                  std::to_string(s.height);
        return result(kThumbnailNotMade);
    };
    if (makes2x) {
        ImagePtr two = scaledUpright(*source, doubled(size), orientation);
        source.reset();
        if (!two) return sizeFailure(doubled(size));
        one = scaledUpright(*two, size, 1);
        EncodedThumbnail encoded;
        std::string path2x = request.output2x;
        if (equalsNoCase(path2x.substr(0, kJpegPrefix.size()), kJpegPrefix)) path2x.erase(0, kJpegPrefix.size());
        if (!encodeInto(*info, *two, format, path2x, encoded, message)) {
            return result(kThumbnailNotMade);
        }
        made.twice = std::move(encoded);
    } else {
        one = scaledUpright(*source, size, orientation);
    }
    if (!one) return sizeFailure(size);
    if (!encodeInto(*info, *one, format, output, made.one, message)) return result(kThumbnailNotMade);
    return result(kThumbnailWritten);
}

}  // namespace lumigal
