// The EXIF orientation, read by the metadata library like the rest of a
// photo's metadata (imaging/photo_metadata.h): only a well-formed tag
// counts, a single SHORT from 1 to 8 in the first directory; anything else,
// or damaged data, is 1.
#include <exiv2/exiv2.hpp>

#include "imaging/jpeg_markers.h"
#include "metadata_library.h"

namespace lumigal {

namespace {

int orientationIn(const Exiv2::ExifData& exif) {
    const auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (it == exif.end() || it->typeId() != Exiv2::unsignedShort || it->count() != 1) return 1;
    const long value = it->toLong(0);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
}

// The orientation of a JPEG, TIFF or WebP file.
int fileOrientation(ImageFormat format, const std::uint8_t* data, std::size_t size) {
    if (!data || size == 0) return 1;
    startMetadataLibrary();
    try {
        const Exiv2::Image::AutoPtr image = openMetadataAs(format, data, size);
        if (!image.get()) return 1;
        image->readMetadata();
        return orientationIn(image->exifData());
    } catch (const Exiv2::AnyError&) {
        return 1;
    } catch (const std::exception&) {
        return 1;
    }
}

}  // namespace

int tiffOrientation(const std::uint8_t* data, std::size_t size) {
    if (!data || size < 8) return 1;
    startMetadataLibrary();
    try {
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, data, static_cast<std::uint32_t>(size));
        return orientationIn(exif);
    } catch (const Exiv2::AnyError&) {
        return 1;
    } catch (const std::exception&) {
        return 1;
    }
}

int jpegOrientation(const std::uint8_t* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 ? fileOrientation(ImageFormat::JPEG, data, size) : 1;
}

int storedOrientation(ImageFormat format, const std::uint8_t* data, std::size_t size) {
    switch (format) {
        case ImageFormat::JPEG:
        case ImageFormat::WEBP:
            return fileOrientation(format, data, size);
        case ImageFormat::TIFF:
            return tiffOrientation(data, size);
        default:
            return 1;  // a HEIF image comes turned by libheif
    }
}

}  // namespace lumigal
