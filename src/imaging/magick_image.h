// Decoded images, for the imaging library itself and its white-box tests:
// the ImageMagick side of image_io.h, kept out of the public headers so
// that no other target sees ImageMagick's headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <magick/api.h>

#include "imaging/image_io.h"

namespace lumigal {

// What an image function says when the program has not started the library.
inline constexpr const char* kLibraryNotStarted = "bibliothèque d'images non démarrée";

struct ImageDeleter {
    void operator()(Image* image) const { DestroyImageList(image); }
};
struct ImageInfoDeleter {
    void operator()(ImageInfo* info) const { DestroyImageInfo(info); }
};
struct ExceptionDeleter {
    void operator()(ExceptionInfo* e) const { DestroyExceptionInfo(e); }
};
using ImagePtr = std::unique_ptr<Image, ImageDeleter>;
using ImageInfoPtr = std::unique_ptr<ImageInfo, ImageInfoDeleter>;
using ExceptionPtr = std::unique_ptr<ExceptionInfo, ExceptionDeleter>;

// Decodes the first frame, upright: a JPEG's EXIF orientation is applied
// (and its EXIF data dropped) when it is not 1. `sizeHint` (may be empty) is
// ImageMagick's size text, which lets the JPEG decoder shrink while loading;
// "WxH" is the size wanted as shown. Given `orientation`, the image comes
// as stored instead, and `orientation` tells what orientImage must apply.
ImagePtr readImageFirstFrame(const std::string& path, std::string& error,
                             const std::string& sizeHint = {}, int* orientation = nullptr);

// Gives `image` the ICC colour profile of `size` bytes at `icc` (nothing
// when there is none), as the image library's own readers do, so that its
// writers embed it: a decoder of our own keeps a photo's colours.
void attachIccProfile(Image& image, const std::uint8_t* icc, std::size_t size);

// `image` as shown: an EXIF orientation (2 to 8) undone by mirroring and
// quarter turns, its EXIF data dropped so that nothing turns it again; 1 or
// any other value leaves it as it is. nullptr when the memory for the
// turned copy is refused.
ImagePtr orientImage(ImagePtr image, int orientation);

// Leaves `image` only what its pixels need to be shown: every profile but
// the ICC colour profile (EXIF, XMP, IPTC, Photoshop resources) and every
// property (comments, dates, the EXIF tags the readers copy there, which
// the PNG writer would keep as text) are dropped, and the PNG writer adds
// no time chunk. What a camera or a phone recorded, the place among it,
// stays out of the file written.
void dropMetadata(Image& image);

}  // namespace lumigal
