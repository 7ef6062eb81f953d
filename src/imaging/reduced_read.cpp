#include "reduced_read.h"

#include "png_memory_input.h"

#include "imaging/image_library.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <optional>
#include <vector>

namespace lumigal {

namespace {

// Where a source pixel's span falls in the reduced image: at most two
// target pixels, with the part of the span in each.
struct Span {
    std::size_t first = 0;
    double firstPart = 1.0;  // the rest goes to first + 1
};

std::vector<Span> spans(std::size_t from, std::size_t to) {
    std::vector<Span> out(from);
    const double scale = static_cast<double>(to) / static_cast<double>(from);
    for (std::size_t x = 0; x < from; ++x) {
        const double start = static_cast<double>(x) * scale;
        const double end = static_cast<double>(x + 1) * scale;
        auto first = static_cast<std::size_t>(start);
        if (first >= to) first = to - 1;
        const double boundary = static_cast<double>(first + 1);
        out[x].first = first;
        out[x].firstPart = (end <= boundary || first + 1 >= to) ? 1.0 : (boundary - start) / scale;
    }
    return out;
}

// The running sums of one read; one read per thread at a time.
struct Accumulator {
    std::size_t width = 0, height = 0;
    std::vector<Span> columns, rows;
    std::vector<float> sums;  // width * height * 5 sums
    std::vector<float> line;  // the current source row, reduced across
    std::vector<std::size_t> columnStarts;  // see wholeColumnStarts
    std::size_t row = 0;
};

// One source row of RGBA samples (8 or 16 bits) reduced across into
// acc.line: per target pixel the sums of its colours weighted by their
// alpha (as ScaleImage weighs them), of the opacity and of the alpha.
// An opaque row (no alpha in the file) skips the weighting.
template <bool Wide, bool Opaque>
void reduceAcross(Accumulator& acc, const std::uint8_t* r, std::size_t columns) {
    constexpr float kWiden = Wide ? 1.0f : 257.0f;
    constexpr float kScale = 1.0f / 65535.0f;
    const auto pixel = [](const std::uint8_t* p, float v[5]) {
        const auto at = [&](int k) {
            return static_cast<float>(Wide ? (p[2 * k] << 8 | p[2 * k + 1]) : p[k]) * kWiden;
        };
        if constexpr (Opaque) {
            v[0] = at(0);
            v[1] = at(1);
            v[2] = at(2);
            v[3] = 0.0f;
            v[4] = 1.0f;
        } else {
            const float a = at(3);
            const float alpha = a * kScale;
            v[0] = alpha * at(0);
            v[1] = alpha * at(1);
            v[2] = alpha * at(2);
            v[3] = 65535.0f - a;
            v[4] = alpha;
        }
    };
    constexpr std::size_t kStep = Wide ? 8 : 4;
    float* line = acc.line.data();
    if (!acc.columnStarts.empty()) {
        // Every target pixel covers whole source pixels: sum them in place.
        for (std::size_t tx = 0; tx < acc.width; ++tx) {
            float red = 0, green = 0, blue = 0, opacity = 0, alpha = 0;
            const std::uint8_t* p = r + acc.columnStarts[tx] * kStep;
            const std::uint8_t* end = r + acc.columnStarts[tx + 1] * kStep;
            for (; p != end; p += kStep) {
                float v[5];
                pixel(p, v);
                red += v[0];
                green += v[1];
                blue += v[2];
                opacity += v[3];
                alpha += v[4];
            }
            float* cell = line + tx * 5;
            cell[0] = red;
            cell[1] = green;
            cell[2] = blue;
            cell[3] = opacity;
            cell[4] = alpha;
        }
        return;
    }
    std::fill(acc.line.begin(), acc.line.end(), 0.0f);
    const Span* span = acc.columns.data();
    for (std::size_t x = 0; x < columns; ++x, ++span, r += kStep) {
        float v[5];
        pixel(r, v);
        float* cell = line + span->first * 5;
        if (span->firstPart >= 1.0) {
            for (int k = 0; k < 5; ++k) cell[k] += v[k];
        } else {
            const auto first = static_cast<float>(span->firstPart);
            for (int k = 0; k < 5; ++k) {
                cell[k] += first * v[k];
                cell[5 + k] += (1.0f - first) * v[k];
            }
        }
    }
}

// Where each target pixel's source columns start (and the last ends) when
// every source pixel falls in one target pixel; empty otherwise.
std::vector<std::size_t> wholeColumnStarts(const std::vector<Span>& columns, std::size_t width) {
    std::vector<std::size_t> starts(width + 1, columns.size());
    std::size_t next = 0;
    for (std::size_t x = 0; x < columns.size(); ++x) {
        if (columns[x].firstPart < 1.0) return {};
        while (next <= columns[x].first) starts[next++] = x;
    }
    if (next != width) return {};
    return starts;
}

// Adds the reduced row into the one or two target rows it falls in.
void addLine(Accumulator& acc) {
    const Span rowSpan = acc.rows[acc.row++];
    const std::size_t n = acc.width * 5;
    const auto addTo = [&](std::size_t ty, float part) {
        float* sums = acc.sums.data() + ty * n;
        for (std::size_t i = 0; i < n; ++i) sums[i] += part * acc.line[i];
    };
    addTo(rowSpan.first, static_cast<float>(rowSpan.firstPart));
    if (rowSpan.firstPart < 1.0) {
        addTo(rowSpan.first + 1, static_cast<float>(1.0 - rowSpan.firstPart));
    }
}


// The rows of a PNG that is not interlaced, as ImageMagick would decode
// them (8-bit samples widened to 16 bits, grey as RGB, opacity = 1 -
// alpha), added into `acc`. Only plain data and pointers live across the
// library's error jump.
bool decodePngRows(PngMemoryInput* source, Accumulator* acc, std::vector<std::uint8_t>* row) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quietPngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, source, readPngMemory);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int type = png_get_color_type(png, info);
    if (width != acc->columns.size() || height != acc->rows.size() ||
        png_get_interlace_type(png, info) != PNG_INTERLACE_NONE ||
        (type & PNG_COLOR_MASK_PALETTE)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, depth == 16 ? 0xffff : 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const std::size_t bytes = png_get_rowbytes(png, info);
    const bool wide = png_get_bit_depth(png, info) == 16;
    if (bytes != std::size_t{width} * 4 * (wide ? 2 : 1)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    row->resize(bytes);
    acc->line.assign(acc->width * 5, 0.0f);
    const bool opaque = (type & PNG_COLOR_MASK_ALPHA) == 0 && !png_get_valid(png, info, PNG_INFO_tRNS);
    const auto across = wide ? (opaque ? reduceAcross<true, true> : reduceAcross<true, false>)
                             : (opaque ? reduceAcross<false, true> : reduceAcross<false, false>);
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, row->data(), nullptr);
        across(*acc, row->data(), width);
        addLine(*acc);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

ImagePtr readPngReduced(const std::string& path, std::size_t width, std::size_t height,
                        std::string& error) {
    if (width == 0 || height == 0) return nullptr;
    if (!imageLibraryStarted()) {
        error = kLibraryNotStarted;
        return nullptr;
    }
    const std::optional<FileBytes> bytes = readImageFile(path, error);
    if (!bytes || bytes->data.empty()) return nullptr;
    if (sniffImageFormat(bytes->data.data(), bytes->data.size()) != ImageFormat::PNG) {
        return nullptr;
    }
    ImageInfoPtr info(AcquireImageInfo());
    CopyMagickString(info->magick, "PNG", MaxTextExtent);
    info->affirm = MagickTrue;
    info->scene = 0;
    info->number_scenes = 1;
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr header(PingBlob(info.get(), bytes->data.data(), bytes->data.size(), exception.get()));
    if (!header || exception->severity >= ErrorException) return nullptr;
    if (header->storage_class != DirectClass || header->colors != 0 ||
        header->columns < 2 * width || header->rows < 2 * height) {
        return nullptr;
    }
    Accumulator acc;
    acc.width = width;
    acc.height = height;
    acc.columns = spans(header->columns, width);
    acc.rows = spans(header->rows, height);
    acc.columnStarts = wholeColumnStarts(acc.columns, width);
    acc.sums.assign(width * height * 5, 0.0f);
    PngMemoryInput source{bytes->data.data(), bytes->data.size(), 0};
    std::vector<std::uint8_t> row;
    if (!decodePngRows(&source, &acc, &row) || acc.row != header->rows) return nullptr;
    const double area = (static_cast<double>(header->columns) / static_cast<double>(width)) *
                        (static_cast<double>(header->rows) / static_cast<double>(height));
    const bool alpha = header->matte != MagickFalse;
    const std::size_t channels = alpha ? 4 : 3;
    std::vector<std::uint16_t> samples(width * height * channels);
    std::uint16_t* out = samples.data();
    const auto sample = [&](double sum) {
        const double v = sum / area + 0.5;
        return static_cast<std::uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v);
    };
    for (std::size_t i = 0; i < width * height; ++i) {
        const float* s = acc.sums.data() + i * 5;
        // Back from alpha-weighted sums to colours (none where all is clear).
        const double weight = s[4] / area;
        const double gamma = weight > 1e-12 ? 1.0 / weight : 0.0;
        *out++ = sample(gamma * s[0]);
        *out++ = sample(gamma * s[1]);
        *out++ = sample(gamma * s[2]);
        if (alpha) *out++ = static_cast<std::uint16_t>(65535 - sample(s[3]));
    }
    ImagePtr reduced(ConstituteImage(width, height, alpha ? "RGBA" : "RGB", ShortPixel,
                                     samples.data(), exception.get()));
    if (!reduced) return nullptr;
    // Written in the source's own format when the thumbnail keeps it.
    CopyMagickString(reduced->magick, "PNG", MaxTextExtent);
    return reduced;
}

}  // namespace lumigal
