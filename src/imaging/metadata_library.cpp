#include "metadata_library.h"

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

#include <climits>
#include <mutex>

namespace lumigal {

namespace {

// Serialises the XMP toolkit's registration of the namespaces that a
// packet brings (the workers parse packets side by side).
std::mutex xmpNamespaces;

void lockXmp(void*, bool lock) {
    if (lock) {
        xmpNamespaces.lock();
    } else {
        xmpNamespaces.unlock();
    }
}

}  // namespace

void startMetadataLibrary() {
    static std::once_flag started;
    std::call_once(started, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(lockXmp, nullptr);
    });
}

Exiv2::Image::AutoPtr openMetadataAs(ImageFormat format, const std::uint8_t* data, std::size_t size) {
    if (!data || size == 0 || size > static_cast<std::size_t>(LONG_MAX)) return Exiv2::Image::AutoPtr();
    Exiv2::BasicIo::AutoPtr io(new Exiv2::MemIo(data, static_cast<long>(size)));
    switch (format) {
        case ImageFormat::JPEG:
            return Exiv2::Image::AutoPtr(new Exiv2::JpegImage(io, false));
        case ImageFormat::PNG:
            return Exiv2::Image::AutoPtr(new Exiv2::PngImage(io, false));
        case ImageFormat::WEBP:
            return Exiv2::Image::AutoPtr(new Exiv2::WebPImage(io));
        case ImageFormat::TIFF:
            return Exiv2::Image::AutoPtr(new Exiv2::TiffImage(io, false));
        default:
            return Exiv2::Image::AutoPtr();
    }
}

}  // namespace lumigal
