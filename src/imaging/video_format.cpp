#include "imaging/video_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "imaging/image_io.h"

namespace lumigal {

namespace {

std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

// What a brand of an "ftyp" box says.
enum class Brand { Video, Audio, Still };

struct BrandRow {
    const char* prefix;  // the brand, or its first characters
    std::size_t length;
    Brand kind;
    VideoFormat format;
};

// Brands are compared by their first `length` characters: "3g" covers every
// 3GPP and 3GPP2 brand (3gp4, 3gp6, 3ge6, 3gg6, 3g2a...), "iso" the ISO base
// brands (isom, iso2 to iso9).
constexpr BrandRow kBrands[] = {
    {"qt  ", 4, Brand::Video, VideoFormat::MOV},
    {"M4V ", 4, Brand::Video, VideoFormat::M4V},
    {"M4VH", 4, Brand::Video, VideoFormat::M4V},
    {"M4VP", 4, Brand::Video, VideoFormat::M4V},
    {"3g", 2, Brand::Video, VideoFormat::ThreeGP},
    {"iso", 3, Brand::Video, VideoFormat::MP4},
    {"mp41", 4, Brand::Video, VideoFormat::MP4},
    {"mp42", 4, Brand::Video, VideoFormat::MP4},
    {"mp71", 4, Brand::Video, VideoFormat::MP4},
    {"avc1", 4, Brand::Video, VideoFormat::MP4},
    {"dash", 4, Brand::Video, VideoFormat::MP4},
    {"mmp4", 4, Brand::Video, VideoFormat::MP4},
    {"MSNV", 4, Brand::Video, VideoFormat::MP4},
    {"XAVC", 4, Brand::Video, VideoFormat::MP4},
    {"ND", 2, Brand::Video, VideoFormat::MP4},  // Nero's NDAS, NDSC, NDXH...
    {"f4v ", 4, Brand::Video, VideoFormat::MP4},
    {"F4V ", 4, Brand::Video, VideoFormat::MP4},
    // Audio alone (an iTunes video lists M4A among its compatible brands).
    {"M4A ", 4, Brand::Audio, VideoFormat::MP4},
    {"M4B ", 4, Brand::Audio, VideoFormat::MP4},
    {"M4P ", 4, Brand::Audio, VideoFormat::MP4},
    {"F4A ", 4, Brand::Audio, VideoFormat::MP4},
    {"F4B ", 4, Brand::Audio, VideoFormat::MP4},
    // The still images built on the same boxes.
    {"crx ", 4, Brand::Still, VideoFormat::MP4},
    {"jxl ", 4, Brand::Still, VideoFormat::MP4},
    {"mif1", 4, Brand::Still, VideoFormat::MP4},
    {"msf1", 4, Brand::Still, VideoFormat::MP4},
};

const BrandRow* brandAt(const std::uint8_t* p) {
    for (const BrandRow& row : kBrands) {
        if (std::memcmp(p, row.prefix, row.length) == 0) return &row;
    }
    return nullptr;
}

// An "ftyp" box first: the major brand decides, else the first compatible
// video brand. An audio major brand is no video, nor is a file that names a
// still image's brand anywhere.
std::optional<VideoFormat> isoMedia(const std::uint8_t* data, std::size_t size) {
    if (size < 16 || std::memcmp(data + 4, "ftyp", 4) != 0) return std::nullopt;
    const std::size_t boxSize = std::min<std::size_t>(be32(data), size);
    const BrandRow* major = brandAt(data + 8);
    if (major && major->kind != Brand::Video) return std::nullopt;
    std::optional<VideoFormat> found;
    if (major) found = major->format;
    for (std::size_t at = 16; at + 4 <= boxSize; at += 4) {
        const BrandRow* compatible = brandAt(data + at);
        if (!compatible || compatible->kind == Brand::Audio) continue;
        if (compatible->kind == Brand::Still) return std::nullopt;
        if (!found) found = compatible->format;
    }
    return found;
}

bool isBoxType(const std::uint8_t* p, std::initializer_list<const char*> types) {
    for (const char* type : types) {
        if (std::memcmp(p, type, 4) == 0) return true;
    }
    return false;
}

// An older QuickTime movie has no "ftyp" box: its first box is the movie
// itself, its data, or padding before them.
bool isBareQuickTime(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return false;
    const std::uint32_t first = be32(data);
    const bool sized = first >= 8 || first == 1;  // 1: a 64-bit size follows
    if (!sized) return false;
    if (isBoxType(data + 4, {"moov", "mdat", "wide", "pnot"})) return true;
    if (!isBoxType(data + 4, {"free", "skip"}) || first == 1) return false;
    const std::size_t next = first;  // a 32-bit sum would wrap
    return next + 8 <= size && isBoxType(data + next + 4, {"moov", "mdat", "wide", "pnot"});
}

// An EBML variable-size integer at `at`: its length (1 to `maxLength`
// bytes) from the leading zeros of its first byte, its value with
// (`keepMarker`) or without the length marker. False when it does not fit.
bool readVint(const std::uint8_t* data, std::size_t size, std::size_t& at, std::size_t maxLength,
              bool keepMarker, std::uint64_t& value) {
    if (at >= size || data[at] == 0) return false;
    std::size_t length = 1;
    while (length <= 8 && !(data[at] & (0x80 >> (length - 1)))) ++length;
    if (length > maxLength || at + length > size) return false;
    value = keepMarker ? data[at] : data[at] & (0xff >> length);
    for (std::size_t i = 1; i < length; ++i) value = value << 8 | data[at + i];
    at += length;
    return true;
}

// An EBML header whose DocType is "webm" or "matroska".
std::optional<VideoFormat> ebml(const std::uint8_t* data, std::size_t size) {
    if (size < 4 || be32(data) != 0x1A45DFA3) return std::nullopt;
    std::size_t at = 4;
    std::uint64_t headerSize = 0;
    if (!readVint(data, size, at, 8, false, headerSize)) return std::nullopt;
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(at + headerSize, size));
    while (at < end) {
        std::uint64_t id = 0, length = 0;
        if (!readVint(data, end, at, 4, true, id) || !readVint(data, end, at, 8, false, length) ||
            length > end - at) {
            return std::nullopt;
        }
        if (id == 0x4282) {  // DocType
            const std::string_view type(reinterpret_cast<const char*>(data + at),
                                        static_cast<std::size_t>(length));
            // A string element may be padded with zero bytes.
            const std::string_view trimmed = type.substr(0, type.find('\0'));
            if (trimmed == "webm") return VideoFormat::WebM;
            if (trimmed == "matroska") return VideoFormat::MKV;
            return std::nullopt;
        }
        at += static_cast<std::size_t>(length);
    }
    return std::nullopt;
}

}  // namespace

const char* videoFormatName(VideoFormat format) {
    switch (format) {
        case VideoFormat::MP4:
            return "MP4";
        case VideoFormat::MOV:
            return "MOV";
        case VideoFormat::M4V:
            return "M4V";
        case VideoFormat::ThreeGP:
            return "3GP";
        case VideoFormat::WebM:
            return "WebM";
        case VideoFormat::MKV:
            return "MKV";
        case VideoFormat::AVI:
            return "AVI";
    }
    return "MP4";
}

std::optional<VideoFormat> videoFormatOfExtension(std::string_view extension) {
    struct Row {
        std::string_view extension;
        VideoFormat format;
    };
    static constexpr Row kExtensions[] = {
        {".mp4", VideoFormat::MP4},     {".mov", VideoFormat::MOV},      {".qt", VideoFormat::MOV},
        {".m4v", VideoFormat::M4V},     {".3gp", VideoFormat::ThreeGP},  {".3g2", VideoFormat::ThreeGP},
        {".webm", VideoFormat::WebM},   {".mkv", VideoFormat::MKV},      {".avi", VideoFormat::AVI},
    };
    for (const Row& row : kExtensions) {
        if (extension.size() == row.extension.size() &&
            std::equal(extension.begin(), extension.end(), row.extension.begin(), [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
            })) {
            return row.format;
        }
    }
    return std::nullopt;
}

std::optional<VideoFormat> sniffVideoFormat(const std::uint8_t* data, std::size_t size) {
    if (!data) return std::nullopt;
    // HEIC and AVIF share the boxes of ISO media: they stay images.
    if (sniffImageFormat(data, size)) return std::nullopt;
    if (const auto iso = isoMedia(data, size)) return iso;
    if (isBareQuickTime(data, size)) return VideoFormat::MOV;
    if (const auto matroska = ebml(data, size)) return matroska;
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "AVI ", 4) == 0) {
        return VideoFormat::AVI;
    }
    return std::nullopt;
}

std::optional<VideoFormat> sniffVideoFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::uint8_t head[kVideoSniffBytes];
    std::size_t got = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        while (got < sizeof head) {
            const ssize_t n = ::read(fd, head + got, sizeof head - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return sniffVideoFormat(head, got);
}

}  // namespace lumigal
