#include "album/captions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"

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
std::string cleanText(std::string_view raw) {
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
    if (text.size() > kMaxCaptionBytes) {
        std::size_t cut = kMaxCaptionBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

unsigned get16(const std::uint8_t* p, bool big) { return big ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]; }
std::uint32_t get32(const std::uint8_t* p, bool big) {
    return big ? (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3]
               : (std::uint32_t{p[3]} << 24) | (p[2] << 16) | (p[1] << 8) | p[0];
}

// ImageDescription (0x010E, ASCII) of the first IFD of EXIF data.
std::string exifDescription(const std::uint8_t* tiff, std::size_t size) {
    if (size < 8) return {};
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!big && !(tiff[0] == 'I' && tiff[1] == 'I')) return {};
    const std::uint32_t ifd = get32(tiff + 4, big);
    if (ifd > size - 2) return {};
    const unsigned entries = get16(tiff + ifd, big);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t at = ifd + 2 + std::size_t{i} * 12;
        if (at + 12 > size) return {};
        if (get16(tiff + at, big) != 0x010E || get16(tiff + at + 2, big) != 2) continue;
        const std::uint32_t count = get32(tiff + at + 4, big);
        const std::size_t offset = count <= 4 ? at + 8 : get32(tiff + at + 8, big);
        if (offset > size || count > size - offset) return {};
        std::string_view text(reinterpret_cast<const char*>(tiff + offset), count);
        text = text.substr(0, text.find('\0'));
        return cleanText(text);
    }
    return {};
}

// The IPTC caption (record 2, dataset 120) of Photoshop resources.
std::string iptcCaption(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    while (at + 12 <= size && std::memcmp(data + at, "8BIM", 4) == 0) {
        const unsigned id = get16(data + at + 4, true);
        std::size_t name = data[at + 6];
        const std::size_t nameBytes = (name + 2) & ~std::size_t{1};  // length byte and name, even
        const std::size_t lengthAt = at + 6 + nameBytes;
        if (lengthAt + 4 > size) return {};
        const std::uint32_t length = get32(data + lengthAt, true);
        const std::size_t body = lengthAt + 4;
        if (length > size - body) return {};
        if (id == 0x0404) {
            std::size_t p = body;
            while (p + 5 <= body + length && data[p] == 0x1C) {
                const unsigned n = get16(data + p + 3, true);
                if (n & 0x8000 || p + 5 + n > body + length) return {};
                if (data[p + 1] == 2 && data[p + 2] == 120) {
                    return cleanText({reinterpret_cast<const char*>(data + p + 5), n});
                }
                p += 5 + n;
            }
        }
        at = body + length + (length & 1);
    }
    return {};
}

std::string xmlText(std::string_view raw) {
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '&') {
            text += raw[i];
            continue;
        }
        const std::size_t end = raw.find(';', i);
        if (end == std::string_view::npos || end - i > 10) {
            text += '&';
            continue;
        }
        const std::string_view name = raw.substr(i + 1, end - i - 1);
        unsigned long code = 0;
        if (name == "amp") code = '&';
        else if (name == "lt") code = '<';
        else if (name == "gt") code = '>';
        else if (name == "quot") code = '"';
        else if (name == "apos") code = '\'';
        else if (name.size() > 1 && name[0] == '#') {
            code = name[1] == 'x' ? std::strtoul(std::string(name.substr(2)).c_str(), nullptr, 16)
                                  : std::strtoul(std::string(name.substr(1)).c_str(), nullptr, 10);
        }
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            text += '&';
            continue;
        }
        if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (code >> 18));
            text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
        i = end;
    }
    return text;
}

// dc:description of an XMP packet: its first rdf:li, or its own text, or
// the attribute form dc:description="...".
std::string xmpDescription(std::string_view xmp) {
    const std::size_t at = xmp.find("dc:description");
    if (at == std::string_view::npos) return {};
    std::size_t p = at + std::strlen("dc:description");
    if (p < xmp.size() && xmp[p] == '=' && p + 1 < xmp.size()) {
        const char quote = xmp[p + 1];
        const std::size_t end = xmp.find(quote, p + 2);
        if (end == std::string_view::npos) return {};
        return cleanText(xmlText(xmp.substr(p + 2, end - p - 2)));
    }
    const std::size_t close = xmp.find("</dc:description>", p);
    if (close == std::string_view::npos) return {};
    std::string_view inner = xmp.substr(p, close - p);
    const std::size_t li = inner.find("<rdf:li");
    if (li != std::string_view::npos) {
        const std::size_t open = inner.find('>', li);
        const std::size_t end = inner.find("</rdf:li>", li);
        if (open == std::string_view::npos || end == std::string_view::npos || end < open) return {};
        return cleanText(xmlText(inner.substr(open + 1, end - open - 1)));
    }
    const std::size_t open = inner.find('>');
    if (open == std::string_view::npos || inner.find('<', open) != std::string_view::npos) return {};
    return cleanText(xmlText(inner.substr(open + 1)));
}

}  // namespace

std::string jpegCaption(const std::uint8_t* data, std::size_t size) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return {};
    std::string exif, iptc, xmp;
    std::size_t at = 2;
    while (at + 4 <= size && data[at] == 0xFF) {
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;  // the scan: no metadata after it
        const unsigned length = get16(data + at + 2, true);
        if (length < 2 || at + 2 + length > size) break;
        const std::uint8_t* body = data + at + 4;
        const std::size_t n = length - 2;
        static constexpr std::string_view kExif("Exif\0\0", 6);
        static constexpr std::string_view kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
        static constexpr std::string_view kPhotoshop("Photoshop 3.0\0", 14);
        const std::string_view view(reinterpret_cast<const char*>(body), n);
        if (marker == 0xE1 && exif.empty() && view.starts_with(kExif)) {
            exif = exifDescription(body + kExif.size(), n - kExif.size());
        } else if (marker == 0xE1 && xmp.empty() && view.starts_with(kXmp)) {
            xmp = xmpDescription(view.substr(kXmp.size()));
        } else if (marker == 0xED && iptc.empty() && view.starts_with(kPhotoshop)) {
            iptc = iptcCaption(body + kPhotoshop.size(), n - kPhotoshop.size());
        }
        at += 2 + length;
    }
    if (!xmp.empty()) return xmp;
    if (!iptc.empty()) return iptc;
    return exif;
}

std::string imageCaption(const std::string& path) {
    const platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) return {};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    std::vector<std::uint8_t> data(std::min<std::size_t>(kMaxCaptionScan, static_cast<std::size_t>(st.st_size)));
    std::size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd.get(), data.data() + got, data.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    return jpegCaption(data.data(), got);
}

}  // namespace lumigal
