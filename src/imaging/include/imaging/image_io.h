// Safe access to image files through ImageMagick.
//
// Only regular files are opened (a FIFO, a device or a folder is refused
// without blocking); the file is read once into memory through its own
// descriptor, so a name that changes meanwhile cannot swap what is decoded.
// The content, not the name, decides the format, and only BMP, DIB, GIF,
// JPEG, PNG and XBM are ever decoded: anything else is refused. Resource
// limits bound the dimensions, area, memory and frame count of any image.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <magick/api.h>

namespace lumigal {

// Once per process, before any other call: starts ImageMagick, restricts its
// coders to the six formats and sets the resource limits. `threads` is
// ImageMagick's own thread count. Safe to call again, from any thread: only
// the first call takes effect.
void initImageLibrary(int threads = 1);

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

// The formats that may be decoded, as ImageMagick names them.
enum class ImageFormat { BMP, DIB, GIF, JPEG, PNG, XBM };
const char* magickName(ImageFormat format);

// The format of image data by its content; nullopt for anything else.
std::optional<ImageFormat> sniffImageFormat(const std::uint8_t* data, std::size_t size);

// A file's bytes, read through one descriptor.
struct FileBytes {
    std::vector<std::uint8_t> data;
    std::int64_t size = 0;  // the file's size as stat reports it
};
// Reads a regular file whole; nullopt with `error` set otherwise. Every
// error text of this file is French and says why without naming the file:
// whoever shows it names the file once.
std::optional<FileBytes> readImageFile(const std::string& path, std::string& error);

// What the header tells about an image (no pixels decoded).
struct ImageHeader {
    // The size as shown: for a JPEG whose EXIF orientation turns it a
    // quarter (5 to 8), the stored width and height swapped.
    std::size_t width = 0;
    std::size_t height = 0;
    int orientation = 1;  // EXIF orientation, 1 to 8; 1: as stored
    std::int64_t fileSize = 0;
    std::size_t colors = 0;  // colour-map size, 0 without a colour map
    bool interlaced = false;  // any interlace other than none
    // A progressive JPEG that can be read at 1/8 from its DC coefficients
    // alone, without the memory of all its coefficients.
    bool eighthReadable = false;
    ImageFormat format = ImageFormat::PNG;
};
// Reads the header of the first frame. nullopt with `error` set when the
// file cannot be read, is not one of the six formats, or has 0 x 0 pixels.
std::optional<ImageHeader> pingImageFile(const std::string& path, std::string& error);

// Decodes the first frame, upright: a JPEG's EXIF orientation is applied
// (and its EXIF data dropped) when it is not 1. `sizeHint` (may be empty) is
// ImageMagick's size text, which lets the JPEG decoder shrink while loading;
// "WxH" is the size wanted as shown. Given `orientation`, the image comes
// as stored instead, and `orientation` tells what orientImage must apply.
ImagePtr readImageFirstFrame(const std::string& path, std::string& error,
                             const std::string& sizeHint = {}, int* orientation = nullptr);

// `image` as shown: an EXIF orientation (2 to 8) undone by mirroring and
// quarter turns, its EXIF data dropped so that nothing turns it again; 1 or
// any other value leaves it as it is. nullptr when the memory for the
// turned copy is refused.
ImagePtr orientImage(ImagePtr image, int orientation);

}  // namespace lumigal
