#include "imaging/photo_metadata.h"

#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <optional>
#include <string_view>

#include "heif_metadata.h"
#include "imaging/image_io.h"
#include "metadata_library.h"

namespace lumigal {

namespace {

bool validUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > text.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

// UTF-8 text as the page may show it: Latin-1 when it is not UTF-8, control
// characters as spaces, blanks trimmed, cut at a character boundary.
std::string cleanText(std::string_view raw, std::size_t limit) {
    raw = raw.substr(0, raw.find('\0'));
    std::string text;
    if (validUtf8(raw)) {
        text.assign(raw);
    } else {
        for (char ch : raw) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 0x80) {
                text += ch;
            } else {
                text += static_cast<char>(0xC0 | (c >> 6));
                text += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    }
    for (char& ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) ch = ' ';
    }
    if (text.size() > limit) {
        std::size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

constexpr std::size_t kMaxFieldBytes = 200;

struct Blocks {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
};

// The text of `key` in `data`; empty when it is missing or not text.
template <typename Key, typename Data>
std::string textOfKey(const Data& data, const char* key, std::size_t limit) {
    const auto it = data.findKey(Key(key));
    if (it == data.end() || it->count() == 0) return {};
    return cleanText(it->toString(), limit);
}
std::string textOf(const Exiv2::ExifData& d, const char* key, std::size_t limit = kMaxFieldBytes) {
    return textOfKey<Exiv2::ExifKey>(d, key, limit);
}
std::string textOf(const Exiv2::IptcData& d, const char* key, std::size_t limit = kMaxFieldBytes) {
    return textOfKey<Exiv2::IptcKey>(d, key, limit);
}
std::string textOf(const Exiv2::XmpData& d, const char* key, std::size_t limit = kMaxFieldBytes) {
    return textOfKey<Exiv2::XmpKey>(d, key, limit);
}

// The x-default text of an XMP lang-alt (else its first language), or the
// plain text of a simple property.
std::string xmpText(const Exiv2::XmpData& xmp, const char* key) {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it == xmp.end()) return {};
    if (const auto* alt = dynamic_cast<const Exiv2::LangAltValue*>(&it->value())) {
        const auto found = alt->value_.find("x-default");
        if (found != alt->value_.end()) return cleanText(found->second, kMaxCaptionBytes);
        return alt->value_.empty() ? std::string() : cleanText(alt->value_.begin()->second, kMaxCaptionBytes);
    }
    return it->count() == 0 ? std::string() : cleanText(it->toString(), kMaxCaptionBytes);
}

std::string userComment(const Exiv2::ExifData& exif) {
    const auto it = exif.findKey(Exiv2::ExifKey("Exif.Photo.UserComment"));
    if (it == exif.end()) return {};
    if (const auto* comment = dynamic_cast<const Exiv2::CommentValue*>(&it->value())) {
        return cleanText(comment->comment(), kMaxCaptionBytes);
    }
    return {};
}

double rationalOf(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0) return 0;
    const Exiv2::Rational r = it->toRational(0);
    return r.second > 0 && r.first >= 0 ? static_cast<double>(r.first) / r.second : 0;
}

std::string exposureOf(const Exiv2::ExifData& exif) {
    const auto it = exif.findKey(Exiv2::ExifKey("Exif.Photo.ExposureTime"));
    if (it == exif.end() || it->count() == 0) return {};
    const Exiv2::Rational r = it->toRational(0);
    if (r.first <= 0 || r.second <= 0) return {};
    if (r.first % r.second == 0) return std::to_string(r.first / r.second);
    if (r.second % r.first == 0) return "1/" + std::to_string(r.second / r.first);
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(r.first) / r.second);
    return text;
}

// "YYYY:MM:DD HH:MM:SS" (EXIF) or "YYYY-MM-DDTHH:MM:SS[offset]" (XMP) as
// "YYYY-MM-DDTHH:MM:SS" and the offset; nullopt for anything else.
std::optional<std::pair<std::string, std::string>> dateOf(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, n = 0;
    char sep1 = 0, sep2 = 0, t = 0;
    if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d%c%2d:%2d:%2d%n", &y, &sep1, &mo, &sep2, &d, &t, &h, &mi,
                    &s, &n) < 9 ||
        sep1 != sep2 || (sep1 != ':' && sep1 != '-') || (t != ' ' && t != 'T') || y < 1 || mo < 1 ||
        mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 60) {
        return std::nullopt;
    }
    char date[80];  // room for any int, which the checks above rule out
    std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, s);
    std::string rest = text.substr(static_cast<std::size_t>(n));
    if (!rest.empty() && rest[0] == '.') rest.erase(0, rest.find_first_not_of("0123456789", 1));
    if (rest == "Z") rest = "+00:00";
    return std::pair<std::string, std::string>{date, rest};
}

// An offset "+HH:MM" as the EXIF offset tags hold it; empty otherwise.
std::string offsetOf(const std::string& text) {
    int h = 0, m = 0;
    char sign = 0;
    if (text.size() != 6 || std::sscanf(text.c_str(), "%c%2d:%2d", &sign, &h, &m) != 3 ||
        (sign != '+' && sign != '-') || h > 14 || m > 59) {
        return {};
    }
    return text;
}

void takeDate(const Blocks& b, PhotoMetadata& m) {
    struct Source {
        bool exif;
        const char* date;
        const char* offset;
    };
    static constexpr Source kSources[] = {
        {true, "Exif.Photo.DateTimeOriginal", "Exif.Photo.OffsetTimeOriginal"},
        {false, "Xmp.exif.DateTimeOriginal", nullptr},
        {true, "Exif.Photo.DateTimeDigitized", "Exif.Photo.OffsetTimeDigitized"},
        {false, "Xmp.xmp.CreateDate", nullptr},
    };
    for (const Source& source : kSources) {
        const std::string text = source.exif ? textOf(b.exif, source.date) : textOf(b.xmp, source.date);
        const auto date = dateOf(text);
        if (!date) continue;
        m.captureTime = date->first;
        m.captureOffset = source.offset ? offsetOf(textOf(b.exif, source.offset)) : offsetOf(date->second);
        return;
    }
}

PhotoMetadata metadataOf(const Blocks& b) {
    PhotoMetadata m;
    m.caption = xmpText(b.xmp, "Xmp.dc.description");
    if (m.caption.empty()) m.caption = textOf(b.iptc, "Iptc.Application2.Caption", kMaxCaptionBytes);
    if (m.caption.empty()) m.caption = textOf(b.exif, "Exif.Image.ImageDescription", kMaxCaptionBytes);
    if (m.caption.empty()) m.caption = userComment(b.exif);
    takeDate(b, m);
    m.make = textOf(b.exif, "Exif.Image.Make");
    m.model = textOf(b.exif, "Exif.Image.Model");
    m.lens = textOf(b.exif, "Exif.Photo.LensModel");
    if (m.lens.empty()) m.lens = textOf(b.xmp, "Xmp.aux.Lens");
    m.focalLength = rationalOf(b.exif, "Exif.Photo.FocalLength");
    m.aperture = rationalOf(b.exif, "Exif.Photo.FNumber");
    m.exposureTime = exposureOf(b.exif);
    const auto iso = b.exif.findKey(Exiv2::ExifKey("Exif.Photo.ISOSpeedRatings"));
    if (iso != b.exif.end() && iso->count() > 0 && iso->toLong(0) > 0) {
        m.iso = static_cast<unsigned>(iso->toLong(0));
    }
    return m;
}

// The blocks of a HEIF file: its items, parsed one by one (a damaged one
// leaves the others).
Blocks heifBlocks(const std::uint8_t* data, std::size_t size) {
    Blocks b;
    const HeifMetadata items = heifMetadata(data, size);
    try {
        if (!items.exif.empty()) {
            Exiv2::ExifParser::decode(b.exif, items.exif.data(), static_cast<std::uint32_t>(items.exif.size()));
        }
    } catch (const Exiv2::AnyError&) {
        b.exif.clear();
    }
    try {
        if (!items.xmp.empty() && Exiv2::XmpParser::decode(b.xmp, items.xmp) != 0) b.xmp.clear();
    } catch (const Exiv2::AnyError&) {
        b.xmp.clear();
    }
    return b;
}

}  // namespace

PhotoMetadata readPhotoMetadata(const std::uint8_t* data, std::size_t size) {
    const std::optional<ImageFormat> format = sniffImageFormat(data, size);
    if (!format) return {};
    startMetadataLibrary();
    try {
        switch (*format) {
            case ImageFormat::HEIC:
            case ImageFormat::AVIF:
                return metadataOf(heifBlocks(data, size));
            case ImageFormat::JPEG:
            case ImageFormat::PNG:
            case ImageFormat::WEBP:
            case ImageFormat::TIFF: {
                const Exiv2::Image::AutoPtr image = openMetadataAs(*format, data, size);
                if (!image.get()) return {};
                image->readMetadata();
                Blocks b;
                b.exif = image->exifData();
                b.iptc = image->iptcData();
                b.xmp = image->xmpData();
                return metadataOf(b);
            }
            default:
                return {};
        }
    } catch (const Exiv2::AnyError&) {
        return {};
    } catch (const std::exception&) {  // a damaged value read as a number
        return {};
    }
}

}  // namespace lumigal
