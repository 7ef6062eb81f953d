#include "imaging/location_strip.h"

#include <exiv2/exiv2.hpp>

#include <string_view>

#include "heif_metadata.h"
#include "metadata_library.h"

namespace lumigal {

namespace {

bool isExifLocation(const Exiv2::Exifdatum& tag) {
    return tag.groupName() == "GPSInfo" || tag.key() == "Exif.Image.GPSTag";
}

bool isIptcLocation(const Exiv2::Iptcdatum& tag) {
    static constexpr std::string_view kNames[] = {
        "Iptc.Application2.City", "Iptc.Application2.SubLocation", "Iptc.Application2.ProvinceState",
        "Iptc.Application2.CountryName", "Iptc.Application2.CountryCode", "Iptc.Application2.LocationCode",
        "Iptc.Application2.LocationName"};
    const std::string key = tag.key();
    for (std::string_view name : kNames) {
        if (key == name) return true;
    }
    return false;
}

bool isXmpLocation(const Exiv2::Xmpdatum& tag) {
    static constexpr std::string_view kPrefixes[] = {
        "Xmp.exif.GPS", "Xmp.exifEX.GPS", "Xmp.photoshop.City", "Xmp.photoshop.State",
        "Xmp.photoshop.Country", "Xmp.iptc.Location", "Xmp.iptc.CountryCode",
        "Xmp.iptcExt.LocationCreated", "Xmp.iptcExt.LocationShown"};
    const std::string key = tag.key();
    for (std::string_view prefix : kPrefixes) {
        if (std::string_view(key).starts_with(prefix)) return true;
    }
    return false;
}

template <typename Data, typename Is>
std::size_t eraseAll(Data& data, Is isLocation) {
    std::size_t removed = 0;
    for (auto it = data.begin(); it != data.end();) {
        if (isLocation(*it)) {
            it = data.erase(it);
            ++removed;
        } else {
            ++it;
        }
    }
    return removed;
}

// Whether the HEIF items carry a location (a format that is not rewritten).
bool heifHasLocation(const std::uint8_t* data, std::size_t size) {
    const HeifMetadata items = heifMetadata(data, size);
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    if (!items.exif.empty()) {
        Exiv2::ExifParser::decode(exif, items.exif.data(), static_cast<std::uint32_t>(items.exif.size()));
    }
    if (!items.xmp.empty()) Exiv2::XmpParser::decode(xmp, items.xmp);
    for (const auto& tag : exif) {
        if (isExifLocation(tag)) return true;
    }
    for (const auto& tag : xmp) {
        if (isXmpLocation(tag)) return true;
    }
    return false;
}

std::optional<LocationStripped> rewritten(const std::uint8_t* data, std::size_t size,
                                          LocationStripped& result) {
    const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(data, static_cast<long>(size));
    if (!image.get()) return std::nullopt;
    image->readMetadata();
    const std::size_t removed = eraseAll(image->exifData(), isExifLocation) +
                                eraseAll(image->iptcData(), isIptcLocation) +
                                eraseAll(image->xmpData(), isXmpLocation);
    if (removed == 0) {
        result.bytes.assign(data, data + size);
        return std::move(result);
    }
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf buffer = io.read(static_cast<long>(io.size()));
    if (buffer.size_ <= 0) return std::nullopt;
    result.bytes.assign(buffer.pData_, buffer.pData_ + buffer.size_);
    result.removed = removed;
    return std::move(result);
}

}  // namespace

std::optional<LocationStripped> stripLocation(const std::uint8_t* data, std::size_t size,
                                              std::string& error) {
    LocationStripped result;
    result.format = sniffImageFormat(data, size);
    startMetadataLibrary();
    try {
        if (result.format == ImageFormat::JPEG || result.format == ImageFormat::PNG ||
            result.format == ImageFormat::WEBP) {
            if (auto stripped = rewritten(data, size, result)) return stripped;
            error = "impossible de retirer le lieu de prise de vue de sa copie";
            return std::nullopt;
        }
        if ((result.format == ImageFormat::HEIC || result.format == ImageFormat::AVIF) &&
            heifHasLocation(data, size)) {
            error = "le lieu de prise de vue ne peut être retiré de sa copie à la taille d'origine "
                    "(donnez une taille de copie web, ou gardez le lieu)";
            return std::nullopt;
        }
    } catch (const Exiv2::AnyError&) {
        error = "métadonnées endommagées : impossible d'en retirer le lieu de prise de vue";
        return std::nullopt;
    } catch (const std::exception&) {
        error = "métadonnées endommagées : impossible d'en retirer le lieu de prise de vue";
        return std::nullopt;
    }
    result.bytes.assign(data, data + size);
    return result;
}

}  // namespace lumigal
