#include "imaging/jpeg_markers.h"

#include <algorithm>
#include <cstring>

namespace lumigal {

namespace {

constexpr char kXmp[] = "http://ns.adobe.com/xap/1.0/";
constexpr char kXmpExtension[] = "http://ns.adobe.com/xmp/extension/";

bool payloadStartsWith(const std::uint8_t* payload, std::size_t size, const char* text) {
    const std::size_t n = std::strlen(text) + 1;  // with its NUL
    return size >= n && std::memcmp(payload, text, n) == 0;
}



bool isRestartOrStandalone(std::uint8_t marker) {
    return marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7);
}

// Calls `visit(marker, payload, payloadSize)` for each segment of the
// header, the first scan header (0xDA) last, until it returns false. False
// when the data are not a JPEG whose header is well formed up to there.
template <typename Visit>
bool walkHeader(const std::uint8_t* data, std::size_t size, Visit visit) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    std::size_t at = 2;
    for (;;) {
        while (at + 1 < size && data[at] == 0xFF && data[at + 1] == 0xFF) ++at;  // fill bytes
        if (at + 4 > size || data[at] != 0xFF) return false;
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xD9 || isRestartOrStandalone(marker)) return false;
        const std::size_t length = std::size_t{data[at + 2]} << 8 | data[at + 3];
        if (length < 2 || length > size - at - 2) return false;
        if (!visit(marker, data + at + 4, length - 2) || marker == 0xDA) return true;
        at += 2 + length;
    }
}

std::size_t roundUp(std::size_t value, std::size_t step) { return (value + step - 1) / step * step; }

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


std::optional<JpegFrameMemory> jpegFrameMemory(const std::uint8_t* data, std::size_t size) {
    JpegFrameMemory frame;
    bool seen = false;
    bool progressive = false;
    std::vector<std::pair<int, int>> sampling;  // per component
    bool bad = false;
    walkHeader(data, size, [&](std::uint8_t marker, const std::uint8_t* p, std::size_t n) {
        const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                         marker != 0xCC;
        if (sof) {
            if (seen || n < 6 || n < 6 + 3 * std::size_t{p[5]} || p[5] == 0) {
                bad = true;
                return false;
            }
            seen = true;
            progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            frame.height = std::size_t{p[1]} << 8 | p[2];
            frame.width = std::size_t{p[3]} << 8 | p[4];
            for (std::size_t i = 0; i < p[5]; ++i) {
                const int h = p[7 + 3 * i] >> 4, v = p[7 + 3 * i] & 0x0F;
                if (h < 1 || h > 4 || v < 1 || v > 4) {
                    bad = true;
                    return false;
                }
                sampling.emplace_back(h, v);
            }
            return true;
        }
        if (marker == 0xDA) {
            frame.multiScan = progressive || (seen && n >= 1 && p[0] < sampling.size());
        }
        return marker != 0xDA;
    });
    if (!seen || bad) return std::nullopt;
    frame.multiScan = frame.multiScan || progressive;
    int hMax = 1, vMax = 1;
    for (const auto& [h, v] : sampling) {
        hMax = std::max(hMax, h);
        vMax = std::max(vMax, v);
    }
    // As the JPEG library sizes its coefficient arrays: blocks of the
    // component, rounded up to whole MCUs, 64 coefficients of 2 bytes each.
    for (const auto& [h, v] : sampling) {
        const std::size_t wide = (frame.width * std::size_t(h) + 8 * std::size_t(hMax) - 1) /
                                 (8 * std::size_t(hMax));
        const std::size_t high = (frame.height * std::size_t(v) + 8 * std::size_t(vMax) - 1) /
                                 (8 * std::size_t(vMax));
        frame.coefficientBytes += std::uint64_t{roundUp(wide, std::size_t(h))} *
                                  roundUp(high, std::size_t(v)) * 128;
    }
    return frame;
}

}  // namespace lumigal
