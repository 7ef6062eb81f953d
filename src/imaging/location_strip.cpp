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

// Removes the location tags that the metadata library reads in `bytes`,
// rewriting them; how many there were.
std::size_t removeOnce(ImageFormat format, std::vector<std::uint8_t>& bytes) {
    const Exiv2::Image::AutoPtr image = openMetadataAs(format, bytes.data(), bytes.size());
    if (!image.get()) throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed);
    image->readMetadata();
    const std::size_t removed = eraseAll(image->exifData(), isExifLocation) +
                                eraseAll(image->iptcData(), isIptcLocation) +
                                eraseAll(image->xmpData(), isXmpLocation);
    if (removed == 0) return 0;
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf buffer = io.read(static_cast<long>(io.size()));
    if (buffer.size_ <= 0) throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    bytes.assign(buffer.pData_, buffer.pData_ + buffer.size_);
    return removed;
}

// Whether the EXIF data `tiff` hold a location.
bool exifHasLocation(const std::uint8_t* tiff, std::size_t size) {
    Exiv2::ExifData exif;
    try {
        Exiv2::ExifParser::decode(exif, tiff, static_cast<std::uint32_t>(size));
    } catch (const Exiv2::AnyError&) {
        return true;  // unreadable: not published
    }
    for (const auto& tag : exif) {
        if (isExifLocation(tag)) return true;
    }
    return false;
}

// The metadata library reads and rewrites the first EXIF and XMP segments
// of a JPEG and no extended XMP: the others that hold a location are
// dropped here (how many).
std::size_t dropOtherJpegSegments(std::vector<std::uint8_t>& bytes) {
    static constexpr std::string_view kExif("Exif\0\0", 6);
    static constexpr std::string_view kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
    static constexpr std::string_view kExtended("http://ns.adobe.com/xmp/extension/\0", 35);
    std::vector<std::uint8_t> out(bytes.begin(), bytes.begin() + 2);
    std::size_t at = 2, dropped = 0;
    bool exifSeen = false, xmpSeen = false;
    while (at + 4 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] != 0xDA && bytes[at + 1] != 0xD9) {
        const std::size_t length = std::size_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (length < 2 || at + 2 + length > bytes.size()) break;
        const std::string_view body(reinterpret_cast<const char*>(bytes.data() + at + 4), length - 2);
        bool drop = false;
        if (bytes[at + 1] == 0xE1 && body.starts_with(kExif)) {
            drop = exifSeen && exifHasLocation(bytes.data() + at + 4 + kExif.size(), body.size() - kExif.size());
            exifSeen = true;
        } else if (bytes[at + 1] == 0xE1 && body.starts_with(kXmp)) {
            drop = xmpSeen && body.find("GPS") != std::string_view::npos;
            xmpSeen = true;
        } else if (bytes[at + 1] == 0xE1 && body.starts_with(kExtended)) {
            drop = true;  // parts of one packet: a word may be cut between two
        }
        if (drop) {
            ++dropped;
        } else {
            out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
        }
        at += 2 + length;
    }
    if (dropped == 0) return 0;
    out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
    bytes = std::move(out);
    return dropped;
}

// A file may hold a block twice (two XMP or IPTC segments), of which the
// library reads and rewrites one at a time: it is read again until
// nothing of the place is left.
constexpr int kMaxRewrites = 4;

std::optional<LocationStripped> rewritten(const std::uint8_t* data, std::size_t size,
                                          LocationStripped& result) {
    result.bytes.assign(data, data + size);
    for (int pass = 0; pass < kMaxRewrites; ++pass) {
        std::size_t removed = result.format == ImageFormat::JPEG ? dropOtherJpegSegments(result.bytes) : 0;
        removed += removeOnce(*result.format, result.bytes);
        result.removed += removed;
        if (removed == 0) {
            if (result.removed == 0) result.bytes.assign(data, data + size);
            return std::move(result);
        }
    }
    return std::nullopt;
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
