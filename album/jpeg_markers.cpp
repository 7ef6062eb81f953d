#include "album/jpeg_markers.h"

#include <cstring>

namespace lumigal {

namespace {

constexpr char kXmp[] = "http://ns.adobe.com/xap/1.0/";
constexpr char kXmpExtension[] = "http://ns.adobe.com/xmp/extension/";

bool payloadStartsWith(const std::uint8_t* payload, std::size_t size, const char* text) {
    const std::size_t n = std::strlen(text) + 1;  // with its NUL
    return size >= n && std::memcmp(payload, text, n) == 0;
}

}  // namespace

bool stripJpegXmp(std::vector<std::uint8_t>& data) {
    const std::size_t size = data.size();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    // First pass: find the XMP segments; nothing changes unless the header
    // is well formed up to the first scan.
    std::vector<std::pair<std::size_t, std::size_t>> drop;  // [start, end)
    std::size_t at = 2;
    for (;;) {
        while (at < size && data[at] == 0xFF && at + 1 < size && data[at + 1] == 0xFF) ++at;
        if (at + 4 > size || data[at] != 0xFF) return false;
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xDA) break;  // start of scan: the rest is kept as it is
        if (marker == 0xD9 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) return false;
        const std::size_t length = std::size_t{data[at + 2]} << 8 | data[at + 3];
        if (length < 2 || at + 2 + length > size) return false;
        const std::uint8_t* payload = data.data() + at + 4;
        const std::size_t payloadSize = length - 2;
        if (marker == 0xE1 && (payloadStartsWith(payload, payloadSize, kXmp) ||
                               payloadStartsWith(payload, payloadSize, kXmpExtension))) {
            drop.emplace_back(at, at + 2 + length);
        }
        at += 2 + length;
    }
    if (drop.empty()) return false;
    std::size_t write = drop.front().first;
    for (std::size_t i = 0; i < drop.size(); ++i) {
        const std::size_t keepFrom = drop[i].second;
        const std::size_t keepTo = i + 1 < drop.size() ? drop[i + 1].first : size;
        std::memmove(data.data() + write, data.data() + keepFrom, keepTo - keepFrom);
        write += keepTo - keepFrom;
    }
    data.resize(write);
    return true;
}

}  // namespace lumigal
