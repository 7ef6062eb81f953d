#include "imaging/jpeg_dc.h"

#include "jpeg_entropy.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lumigal {

namespace {

using jpeg::BitReader;
using jpeg::HuffmanTable;
using jpeg::be16;
using jpeg::decodeSymbol;
using jpeg::extend;
using jpeg::isRestart;
using jpeg::nextMarker;
using jpeg::readHuffmanTables;

// A conforming file has at most 14 DC scans per component (one first scan
// and a refinement per bit); more only make a hostile file slow.
constexpr int kMaxDcScans = 64;
constexpr int kMaxComponents = 3;

struct Component {
    int id = 0;
    int h = 1, v = 1;       // sampling factors
    int quantTable = 0;
    int quant = -1;         // the DC quantizer, once a scan has used the component
    std::size_t blocksWide = 0, blocksHigh = 0;  // blocks that hold image samples
    std::size_t stride = 0, rows = 0;            // blocks stored, whole MCUs
    std::vector<std::int16_t> dc;
};

struct Frame {
    bool seen = false;
    std::size_t width = 0, height = 0;
    int hMax = 1, vMax = 1;
    std::size_t mcusWide = 0, mcusHigh = 0;
    std::vector<Component> components;
};

bool readQuantTables(const std::uint8_t* p, std::size_t n, std::array<int, 4>& dcQuant) {
    while (n > 0) {
        const int precision = p[0] >> 4, slot = p[0] & 0x0F;
        if (precision > 1 || slot > 3) return false;
        const std::size_t length = 1 + 64 * (precision + 1);
        if (n < length) return false;
        // The first value, in zigzag order, is the DC quantizer.
        dcQuant[static_cast<std::size_t>(slot)] = precision == 0 ? p[1] : be16(p + 1);
        p += length;
        n -= length;
    }
    return true;
}

std::size_t ceilDiv(std::size_t a, std::size_t b) { return (a + b - 1) / b; }

// The frame header (SOF2) of a progressive image.
bool readFrame(const std::uint8_t* p, std::size_t n, Frame& frame) {
    if (n < 6 || p[0] != 8) return false;  // 8-bit samples only
    frame.height = be16(p + 1);
    frame.width = be16(p + 3);
    const int count = p[5];
    if (frame.width == 0 || frame.height == 0) return false;  // height in a DNL: not taken
    if ((count != 1 && count != kMaxComponents) || n < 6 + 3 * std::size_t(count)) return false;
    frame.components.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* c = p + 6 + 3 * i;
        Component& comp = frame.components[static_cast<std::size_t>(i)];
        comp.id = c[0];
        comp.h = c[1] >> 4;
        comp.v = c[1] & 0x0F;
        comp.quantTable = c[2];
        if (comp.h < 1 || comp.h > 4 || comp.v < 1 || comp.v > 4 || comp.quantTable > 3) return false;
        for (int j = 0; j < i; ++j) {
            if (frame.components[static_cast<std::size_t>(j)].id == comp.id) return false;
        }
        frame.hMax = std::max(frame.hMax, comp.h);
        frame.vMax = std::max(frame.vMax, comp.v);
    }
    for (Component& comp : frame.components) {
        // Chroma is repeated, not interpolated: only whole ratios.
        if (frame.hMax % comp.h != 0 || frame.vMax % comp.v != 0) return false;
    }
    frame.mcusWide = ceilDiv(frame.width, 8 * std::size_t(frame.hMax));
    frame.mcusHigh = ceilDiv(frame.height, 8 * std::size_t(frame.vMax));
    for (Component& comp : frame.components) {
        comp.blocksWide = ceilDiv(frame.width * std::size_t(comp.h), 8 * std::size_t(frame.hMax));
        comp.blocksHigh = ceilDiv(frame.height * std::size_t(comp.v), 8 * std::size_t(frame.vMax));
        comp.stride = frame.mcusWide * std::size_t(comp.h);
        comp.rows = frame.mcusHigh * std::size_t(comp.v);
    }
    frame.seen = true;
    return true;
}

// The colour transform of three components, as the JPEG library guesses it.
enum class ColourTransform { YCbCr, RGB };

struct Markers {
    bool jfif = false;
    bool adobe = false;
    int adobeTransform = 1;
};

ColourTransform transformOf(const Markers& markers, const Frame& frame) {
    if (markers.jfif) return ColourTransform::YCbCr;
    if (markers.adobe) return markers.adobeTransform == 0 ? ColourTransform::RGB : ColourTransform::YCbCr;
    const auto& c = frame.components;
    if (c[0].id == 82 && c[1].id == 71 && c[2].id == 66) return ColourTransform::RGB;  // 'R' 'G' 'B'
    return ColourTransform::YCbCr;
}

void readApplicationMarker(std::uint8_t marker, const std::uint8_t* p, std::size_t n,
                           Markers& markers) {
    if (marker == 0xE0 && n >= 14 && std::memcmp(p, "JFIF\0", 5) == 0) markers.jfif = true;
    if (marker == 0xEE && n >= 12 && std::memcmp(p, "Adobe", 5) == 0) {
        markers.adobe = true;
        markers.adobeTransform = p[11];
    }
}

// One scan's header.
struct Scan {
    std::array<std::size_t, 4> components{};  // indexes into the frame
    std::array<int, 4> dcTable{};
    std::size_t count = 0;
    int ss = 0, se = 0, ah = 0, al = 0;
};

bool readScanHeader(const std::uint8_t* p, std::size_t n, const Frame& frame, Scan& scan) {
    if (n < 1) return false;
    scan.count = p[0];
    if (scan.count < 1 || scan.count > frame.components.size() || n != 4 + 2 * scan.count) return false;
    int blocksInMcu = 0;
    for (std::size_t i = 0; i < scan.count; ++i) {
        const int id = p[1 + 2 * i];
        std::size_t index = frame.components.size();
        for (std::size_t c = 0; c < frame.components.size(); ++c) {
            if (frame.components[c].id == id) index = c;
        }
        if (index == frame.components.size()) return false;
        for (std::size_t j = 0; j < i; ++j) {
            if (scan.components[j] == index) return false;
        }
        scan.components[i] = index;
        scan.dcTable[i] = p[2 + 2 * i] >> 4;
        if (scan.dcTable[i] > 3) return false;
        blocksInMcu += frame.components[index].h * frame.components[index].v;
    }
    if (scan.count > 1 && blocksInMcu > 10) return false;
    const std::uint8_t* tail = p + 1 + 2 * scan.count;
    scan.ss = tail[0];
    scan.se = tail[1];
    scan.ah = tail[2] >> 4;
    scan.al = tail[2] & 0x0F;
    // The rules of a progressive scan.
    if (scan.ss == 0 ? scan.se != 0 : (scan.se < scan.ss || scan.se > 63 || scan.count != 1)) {
        return false;
    }
    if ((scan.ah != 0 && scan.al != scan.ah - 1) || scan.al > 13) return false;
    return true;
}

// Decodes the DC coefficients of one DC scan (first pass or refinement).
void decodeDcScan(BitReader& in, Frame& frame, const Scan& scan,
                  const std::array<HuffmanTable, 4>& dcTables, unsigned restartInterval) {
    std::array<std::uint32_t, 4> predictor{};  // wraps as the coefficients do
    unsigned restartsToGo = restartInterval;
    const auto unit = [&](std::size_t s, std::size_t row, std::size_t column) {
        Component& comp = frame.components[scan.components[s]];
        std::int16_t& coefficient = comp.dc[row * comp.stride + column];
        if (scan.ah == 0) {
            const int category = decodeSymbol(in, dcTables[static_cast<std::size_t>(scan.dcTable[s])]);
            const std::int32_t diff = category == 0 ? 0 : extend(in.bits(category), category);
            predictor[s] += static_cast<std::uint32_t>(diff);
            coefficient = static_cast<std::int16_t>(predictor[s] << scan.al);
        } else if (in.bit() != 0) {
            coefficient = static_cast<std::int16_t>(static_cast<std::uint16_t>(coefficient) |
                                                    (1U << scan.al));
        }
    };
    // One MCU: restart first when the interval is over, nothing once the
    // data have run out (until the next restart marker).
    const auto startMcu = [&]() {
        if (restartInterval != 0) {
            if (restartsToGo == 0) {
                in.restart();
                predictor.fill(0);
                restartsToGo = restartInterval;
            }
            --restartsToGo;
        }
        return !in.outOfData();
    };
    if (scan.count == 1) {
        const Component& comp = frame.components[scan.components[0]];
        for (std::size_t row = 0; row < comp.blocksHigh; ++row) {
            for (std::size_t column = 0; column < comp.blocksWide; ++column) {
                if (startMcu()) unit(0, row, column);
            }
        }
        return;
    }
    for (std::size_t my = 0; my < frame.mcusHigh; ++my) {
        for (std::size_t mx = 0; mx < frame.mcusWide; ++mx) {
            if (!startMcu()) continue;
            for (std::size_t s = 0; s < scan.count; ++s) {
                const Component& comp = frame.components[scan.components[s]];
                for (int by = 0; by < comp.v; ++by) {
                    for (int bx = 0; bx < comp.h; ++bx) {
                        unit(s, my * std::size_t(comp.v) + std::size_t(by),
                             mx * std::size_t(comp.h) + std::size_t(bx));
                    }
                }
            }
        }
    }
}

// The sample of a DC coefficient: dequantized, divided by 8 with rounding
// and clamped the way the JPEG library's 1 x 1 inverse DCT does (its range
// table wraps values beyond +-512 around, which only damaged data reach).
std::uint8_t sampleOf(std::int16_t coefficient, int quant) {
    const std::int32_t value = (std::int32_t{coefficient} * quant + 4) >> 3;
    const std::int32_t index = value & 1023;
    if (index < 128) return static_cast<std::uint8_t>(128 + index);
    if (index < 512) return 255;
    if (index < 896) return 0;
    return static_cast<std::uint8_t>(index - 896);
}

std::uint8_t clampSample(std::int32_t v) {
    return static_cast<std::uint8_t>(std::clamp<std::int32_t>(v, 0, 255));
}

// The JPEG library's fixed-point YCbCr to RGB tables.
struct YccTables {
    std::array<std::int32_t, 256> crR{}, cbB{};
    std::array<std::int64_t, 256> crG{}, cbG{};
    YccTables() {
        constexpr int kScaleBits = 16;
        constexpr std::int64_t kHalf = std::int64_t{1} << (kScaleBits - 1);
        const auto fix = [](double x) {
            return static_cast<std::int64_t>(x * double(std::int64_t{1} << kScaleBits) + 0.5);
        };
        for (int i = 0; i < 256; ++i) {
            const std::int64_t x = i - 128;
            crR[static_cast<std::size_t>(i)] = static_cast<std::int32_t>((fix(1.40200) * x + kHalf) >> kScaleBits);
            cbB[static_cast<std::size_t>(i)] = static_cast<std::int32_t>((fix(1.77200) * x + kHalf) >> kScaleBits);
            crG[static_cast<std::size_t>(i)] = -fix(0.71414) * x;
            cbG[static_cast<std::size_t>(i)] = -fix(0.34414) * x + kHalf;
        }
    }
};

EighthImage render(const Frame& frame, ColourTransform transform) {
    EighthImage out;
    out.width = ceilDiv(frame.width, 8);
    out.height = ceilDiv(frame.height, 8);
    out.channels = frame.components.size() == 1 ? 1 : 3;
    out.pixels.resize(out.width * out.height * std::size_t(out.channels));
    // Each component's samples, repeated up to the output size.
    std::vector<std::vector<std::uint8_t>> rows(frame.components.size(),
                                                std::vector<std::uint8_t>(out.width));
    static const YccTables ycc;
    std::uint8_t* dst = out.pixels.data();
    for (std::size_t y = 0; y < out.height; ++y) {
        for (std::size_t c = 0; c < frame.components.size(); ++c) {
            const Component& comp = frame.components[c];
            const std::size_t hStep = std::size_t(frame.hMax / comp.h);
            const std::size_t vStep = std::size_t(frame.vMax / comp.v);
            const std::int16_t* src = comp.dc.data() + (y / vStep) * comp.stride;
            const int quant = std::max(comp.quant, 0);
            for (std::size_t x = 0; x < out.width; ++x) rows[c][x] = sampleOf(src[x / hStep], quant);
        }
        if (out.channels == 1) {
            std::memcpy(dst, rows[0].data(), out.width);
            dst += out.width;
            continue;
        }
        for (std::size_t x = 0; x < out.width; ++x) {
            const int a = rows[0][x], b = rows[1][x], c = rows[2][x];
            if (transform == ColourTransform::RGB) {
                dst[0] = static_cast<std::uint8_t>(a);
                dst[1] = static_cast<std::uint8_t>(b);
                dst[2] = static_cast<std::uint8_t>(c);
            } else {
                const auto cb = static_cast<std::size_t>(b), cr = static_cast<std::size_t>(c);
                dst[0] = clampSample(a + ycc.crR[cr]);
                dst[1] = clampSample(a + static_cast<std::int32_t>((ycc.cbG[cb] + ycc.crG[cr]) >> 16));
                dst[2] = clampSample(a + ycc.cbB[cb]);
            }
            dst += 3;
        }
    }
    return out;
}

// What the markers before and between the scans set.
struct Walk {
    Frame frame;
    Markers markers;
    std::array<HuffmanTable, 4> dcTables;
    std::array<int, 4> dcQuant{-1, -1, -1, -1};
    unsigned restartInterval = 0;
    bool scanSeen = false;
};

enum class Step { Continue, Stop, Fail };

// Walks the markers of `data` up to the frame header (`frameOnly`) or to
// the end, handing every scan to `onScan` with the position of its
// entropy-coded data. False when the data are not a progressive JPEG
// this reader takes.
template <typename OnScan>
bool walkMarkers(const std::uint8_t* data, std::size_t size, Walk& walk, bool frameOnly,
                 OnScan onScan) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    std::size_t at = 2;
    for (;;) {
        at = nextMarker(data, size, at, true);
        if (at + 1 >= size) return walk.frame.seen;  // the end without EOI
        std::size_t codeAt = at + 1;
        while (codeAt < size && data[codeAt] == 0xFF) ++codeAt;
        const std::uint8_t marker = data[codeAt];
        at = codeAt + 1;
        if (marker == 0xD9) return walk.frame.seen;                   // EOI
        if (isRestart(marker) || marker == 0x01 || marker == 0xD8) continue;  // no length
        if (at + 2 > size) return walk.frame.seen;
        const std::size_t length = be16(data + at);
        if (length < 2 || at + length > size) return false;
        const std::uint8_t* p = data + at + 2;
        const std::size_t n = length - 2;
        at += length;
        switch (marker) {
            case 0xC2:
                if (walk.frame.seen || !readFrame(p, n, walk.frame)) return false;
                if (frameOnly) return true;
                break;
            case 0xC4:
                if (!readHuffmanTables(p, n, walk.dcTables)) return false;
                break;
            case 0xDB:
                if (!readQuantTables(p, n, walk.dcQuant)) return false;
                break;
            case 0xDD:
                if (n < 2) return false;
                walk.restartInterval = be16(p);
                break;
            case 0xDA: {
                if (!walk.frame.seen) return false;
                Scan scan;
                if (!readScanHeader(p, n, walk.frame, scan)) return false;
                walk.scanSeen = true;
                // The scan moves `at` past its entropy-coded data.
                const Step step = onScan(scan, at);
                if (step == Step::Fail) return false;
                if (step == Step::Stop) return true;
                break;
            }
            default:
                // Any other frame type (baseline, lossless, arithmetic) and
                // arithmetic conditioning (0xCC) are not taken; other
                // segments are skipped.
                if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC8) return false;
                if (!walk.scanSeen) readApplicationMarker(marker, p, n, walk.markers);
                break;
        }
    }
}

}  // namespace

std::optional<ProgressiveJpegFrame> progressiveJpegFrame(const std::uint8_t* data,
                                                         std::size_t size) {
    if (!data) return std::nullopt;
    Walk walk;
    const auto stop = [](const Scan&, std::size_t&) { return Step::Stop; };
    if (!walkMarkers(data, size, walk, true, stop) || !walk.frame.seen) {
        return std::nullopt;
    }
    ProgressiveJpegFrame frame;
    frame.width = walk.frame.width;
    frame.height = walk.frame.height;
    frame.components = static_cast<int>(walk.frame.components.size());
    return frame;
}

std::optional<EighthImage> decodeJpegEighth(const std::uint8_t* data, std::size_t size,
                                            std::uint64_t maxPixels) {
    if (!data) return std::nullopt;
    Walk walk;
    int dcScans = 0;
    bool allocated = false;
    const auto onScan = [&](const Scan& scan, std::size_t& at) {
        Frame& frame = walk.frame;
        if (!allocated) {
            if (std::uint64_t{frame.width} * frame.height > maxPixels) {
                return Step::Fail;
            }
            for (Component& comp : frame.components) comp.dc.assign(comp.stride * comp.rows, 0);
            allocated = true;
        }
        // Each component keeps the quantizer of the first scan that has it.
        for (std::size_t s = 0; s < scan.count; ++s) {
            Component& comp = frame.components[scan.components[s]];
            if (comp.quant < 0) {
                comp.quant = walk.dcQuant[static_cast<std::size_t>(comp.quantTable)];
                if (comp.quant < 0) return Step::Fail;
            }
        }
        BitReader in(data, size, at);
        if (scan.ss == 0) {
            if (++dcScans > kMaxDcScans) return Step::Fail;
            if (scan.ah == 0) {
                for (std::size_t s = 0; s < scan.count; ++s) {
                    const HuffmanTable& t = walk.dcTables[static_cast<std::size_t>(scan.dcTable[s])];
                    if (!t.defined || !t.dcValues) return Step::Fail;
                }
            }
            decodeDcScan(in, frame, scan, walk.dcTables, walk.restartInterval);
            at = in.end();
        } else {
            at = nextMarker(data, size, at, false);  // an AC scan: skipped whole
        }
        return Step::Continue;
    };
    if (!walkMarkers(data, size, walk, false, onScan) || dcScans == 0) {
        return std::nullopt;
    }
    return render(walk.frame, walk.frame.components.size() == 3 ? transformOf(walk.markers, walk.frame)
                                                                : ColourTransform::YCbCr);
}

}  // namespace lumigal
