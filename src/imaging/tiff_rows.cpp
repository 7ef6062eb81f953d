#include "tiff_rows.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "area_reducer.h"
#include "decode_limits.h"

namespace lumigal {

namespace {

// The file's bytes, as libtiff reads them.
struct MemoryFile {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

tmsize_t readMemory(thandle_t handle, void* buffer, tmsize_t count) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (count <= 0 || file->at >= file->size) return 0;
    const std::size_t n = std::min(static_cast<std::size_t>(count), file->size - file->at);
    std::memcpy(buffer, file->data + file->at, n);
    file->at += n;
    return static_cast<tmsize_t>(n);
}
tmsize_t writeNothing(thandle_t, void*, tmsize_t) { return 0; }
toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    const std::uint64_t base = whence == SEEK_CUR ? file->at : whence == SEEK_END ? file->size : 0;
    const std::uint64_t to = base + offset;
    if (to > file->size) return static_cast<toff_t>(-1);
    file->at = static_cast<std::size_t>(to);
    return to;
}
int closeNothing(thandle_t) { return 0; }
toff_t sizeOfMemory(thandle_t handle) { return static_cast<MemoryFile*>(handle)->size; }
int noMapping(thandle_t, void**, toff_t*) { return 0; }
void noUnmapping(thandle_t, void*, toff_t) {}
// What libtiff says goes nowhere: a file it cannot read goes to the
// image library, which says why.
int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// What the first image holds, when it can be read row by row here.
struct RowFormat {
    std::uint32_t width = 0, height = 0;
    std::uint16_t samples = 0;
    bool grey = false, alpha = false;
};

std::optional<RowFormat> rowFormat(TIFF* tiff) {
    RowFormat f;
    std::uint16_t bits = 0, planar = 0, photometric = 0;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &f.width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &f.height) ||
        !TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits) ||
        !TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &f.samples) ||
        !TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar) ||
        !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric)) {
        return std::nullopt;
    }
    if (f.width == 0 || f.height == 0 || bits != 8 || planar != PLANARCONFIG_CONTIG || TIFFIsTiled(tiff)) {
        return std::nullopt;
    }
    f.grey = photometric == PHOTOMETRIC_MINISBLACK && (f.samples == 1 || f.samples == 2);
    const bool rgb = photometric == PHOTOMETRIC_RGB && (f.samples == 3 || f.samples == 4);
    if (!f.grey && !rgb) return std::nullopt;
    f.alpha = f.samples == 2 || f.samples == 4;
    if (f.alpha) {
        std::uint16_t count = 0;
        std::uint16_t* kinds = nullptr;
        if (!TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) || count != 1 ||
            kinds[0] != EXTRASAMPLE_UNASSALPHA) {
            return std::nullopt;  // premultiplied, or not an alpha at all
        }
    }
    if (static_cast<std::size_t>(TIFFScanlineSize(tiff)) != std::size_t{f.width} * f.samples) {
        return std::nullopt;
    }
    return f;
}

using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// The TIFF in `file`, libtiff's messages silenced.
TiffPtr openTiff(MemoryFile& file) {
    const std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t{64} << 20);
    // "m": the bytes are read, never mapped.
    return TiffPtr(TIFFClientOpenExt("", "rm", &file, readMemory, writeNothing, seekMemory,
                                     closeNothing, sizeOfMemory, noMapping, noUnmapping,
                                     options.get()));
}

}  // namespace

bool tiffRowsReadable(const std::uint8_t* data, std::size_t size) {
    if (!data) return false;
    MemoryFile file{data, size};
    const TiffPtr tiff = openTiff(file);
    return tiff && rowFormat(tiff.get());
}

ImagePtr readTiffReduced(const std::uint8_t* data, std::size_t size, std::size_t minWidth,
                         std::size_t minHeight, std::uint64_t maxArea) {
    if (!data || minWidth == 0 || minHeight == 0) return nullptr;
    MemoryFile file{data, size};
    const TiffPtr tiff = openTiff(file);
    if (!tiff) return nullptr;
    const std::optional<RowFormat> f = rowFormat(tiff.get());
    const std::size_t above = f && f->alpha ? kReduceTranslucentAboveHint : kReduceAboveHint;
    if (!f || f->width < above * minWidth || f->height < above * minHeight ||
        std::uint64_t{f->width} * f->height > maxArea) {
        return nullptr;
    }
    const std::uint32_t width = f->width, height = f->height;
    const std::uint16_t samples = f->samples;
    const bool grey = f->grey, alpha = f->alpha;
    AreaReducer reducer(width, height, kReducedHint * minWidth, kReducedHint * minHeight);
    std::vector<std::uint8_t> line(std::size_t{width} * samples);
    std::vector<std::uint8_t> rgba(grey ? std::size_t{width} * 4 : 0);
    const RowLayout layout{false, grey ? 4 : static_cast<int>(samples), !alpha};
    for (std::uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff.get(), line.data(), y, 0) < 0) return nullptr;
        if (!grey) {
            reducer.push(line.data(), layout);
            continue;
        }
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t v = line[x * samples];
            rgba[4 * x] = rgba[4 * x + 1] = rgba[4 * x + 2] = v;
            rgba[4 * x + 3] = alpha ? line[x * samples + 1] : 0xff;
        }
        reducer.push(rgba.data(), layout);
    }
    ImagePtr reduced = reducer.finish(alpha, "TIFF");
    std::uint32_t iccSize = 0;
    const void* icc = nullptr;
    if (reduced && TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &iccSize, &icc) && icc) {
        attachIccProfile(*reduced, static_cast<const std::uint8_t*>(icc), iccSize);
    }
    return reduced;
}

}  // namespace lumigal
