// Safe access to image files (ImageMagick, unseen by the callers).
//
// Only regular files are opened (a FIFO, a device or a folder is refused
// without blocking); the file is read once into memory through its own
// descriptor, so a name that changes meanwhile cannot swap what is decoded.
// The content, not the name, decides the format, and only BMP, DIB, GIF,
// JPEG, PNG, XBM, WebP, HEIC/HEIF, AVIF and TIFF are ever decoded: anything
// else is refused. Resource
// limits bound the dimensions, area, memory and frame count of any image
// (imaging/image_library.h: the program starts the library first).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumigal {

// The formats that may be decoded, as ImageMagick names them.
enum class ImageFormat { BMP, DIB, GIF, JPEG, PNG, XBM, WEBP, HEIC, AVIF, TIFF };
const char* magickName(ImageFormat format);

// Whether browsers show images of this format: a thumbnail of a format they
// do not show (HEIC, TIFF) is made as a JPEG where it would keep the format.
bool browserShows(ImageFormat format);

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
    // The size as shown: for a JPEG, WebP or TIFF whose EXIF orientation
    // turns it a quarter (5 to 8), the stored width and height swapped (a
    // HEIF image comes turned by its own transformations).
    std::size_t width = 0;
    std::size_t height = 0;
    int orientation = 1;  // EXIF orientation, 1 to 8; 1: as stored
    std::int64_t fileSize = 0;
    std::size_t colors = 0;  // colour-map size, 0 without a colour map
    bool interlaced = false;  // any interlace other than none
    // A progressive JPEG that can be read at 1/8 from its DC coefficients
    // alone, without the memory of all its coefficients.
    bool eighthReadable = false;
    // The largest reduced image the file holds of the image's shape (a HEIF
    // thumbnail item), 0 x 0 without one.
    std::size_t previewWidth = 0, previewHeight = 0;
    // A TIFF whose first image a large thumbnail reads row by row, reduced
    // as it reads.
    bool rowReadable = false;
    // A HEIF grid whose tiles a large thumbnail decodes a row at a time.
    bool tiled = false;
    ImageFormat format = ImageFormat::PNG;
};
// Reads the header of the first frame. nullopt with `error` set when the
// file cannot be read, is not one of the formats, or has 0 x 0 pixels.
// Given `metadata`, the photo's metadata (imaging/photo_metadata.h) are
// read there from the same bytes.
struct PhotoMetadata;
std::optional<ImageHeader> pingImageFile(const std::string& path, std::string& error,
                                         PhotoMetadata* metadata = nullptr);

}  // namespace lumigal
