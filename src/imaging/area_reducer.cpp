#include "area_reducer.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace lumigal {

namespace {

std::vector<AreaReducer::Span> spans(std::size_t from, std::size_t to) {
    std::vector<AreaReducer::Span> out(from);
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

// Per target pixel, the source columns that fall in it, in order, with the
// part of each that does: the one that straddles its left edge, the whole
// ones, the one that straddles its right edge.
void columnRuns(const std::vector<AreaReducer::Span>& columns, std::size_t width,
                std::vector<std::size_t>& starts, std::vector<std::size_t>& ends,
                std::vector<float>& parts) {
    starts.assign(width, 0);
    ends.assign(width, 0);
    parts.clear();
    parts.reserve(2 * columns.size());
    std::size_t x = 0;
    for (std::size_t tx = 0; tx < width; ++tx) {
        // A column whose span began in the previous target pixel.
        if (x > 0 && columns[x - 1].first + 1 == tx && columns[x - 1].firstPart < 1.0) --x;
        starts[tx] = x;
        for (; x < columns.size(); ++x) {
            const AreaReducer::Span& span = columns[x];
            const auto first = static_cast<float>(span.firstPart);
            if (span.first == tx) {
                parts.push_back(span.firstPart >= 1.0 ? 1.0f : first);
            } else if (span.first + 1 == tx && span.firstPart < 1.0) {
                parts.push_back(1.0f - first);
            } else {
                break;
            }
        }
        ends[tx] = x;
    }
}

}  // namespace

AreaReducer::AreaReducer(std::size_t fromWidth, std::size_t fromHeight, std::size_t toWidth,
                         std::size_t toHeight)
    : fromWidth_(fromWidth),
      width_(toWidth),
      height_(toHeight),
      columns_(spans(fromWidth, toWidth)),
      rows_(spans(fromHeight, toHeight)),
      sums_(toWidth * toHeight * 5, 0.0f),
      line_(toWidth * 5, 0.0f) {
    columnRuns(columns_, toWidth, columnStarts_, columnEnds_, columnParts_);
}

std::uint64_t AreaReducer::workingBytes(std::size_t fromWidth, std::size_t toWidth,
                                        std::size_t toHeight) {
    return std::uint64_t{toWidth} * toHeight * 5 * sizeof(float) +
           std::uint64_t{fromWidth} * (sizeof(Span) + 2 * sizeof(float)) +
           std::uint64_t{toWidth} * (5 * sizeof(float) + 2 * sizeof(std::size_t));
}

// One source row reduced across into line_: per target pixel the sums of
// its colours weighted by their alpha (as ScaleImage weighs them), of the
// opacity and of the alpha, each the parts of its columns added in their
// order. An opaque row skips the weighting. The four first sums go side by
// side in one register; each lane does what one float would alone.
template <bool Wide, bool Opaque, int Channels>
void AreaReducer::reduceAcross(const std::uint8_t* r) {
    constexpr float kWiden = Wide ? 1.0f : 257.0f;
    constexpr float kScale = 1.0f / 65535.0f;
    constexpr std::size_t kStep = (Wide ? 2 : 1) * Channels;
    const __m128i zero = _mm_setzero_si128();
    const __m128 colourLanes = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0));
    // The samples of one pixel as floats (16 bits wide), the 4th lane 0
    // with 3 channels. The bytes are put together in a register: copied
    // through memory in two pieces, then loaded whole, each pixel waited
    // for the stores to land (most of the time of a reduction of RGB rows).
    const auto samples = [&](const std::uint8_t* p) {
        __m128i v;
        if constexpr (Wide && Channels == 4) {
            std::uint64_t bits = 0;
            std::memcpy(&bits, p, 8);
            v = _mm_cvtsi64_si128(static_cast<long long>(bits));
        } else if constexpr (Wide) {
            std::uint32_t low = 0;
            std::uint16_t high = 0;
            std::memcpy(&low, p, 4);
            std::memcpy(&high, p + 4, 2);
            v = _mm_cvtsi64_si128(static_cast<long long>(std::uint64_t{low} | std::uint64_t{high} << 32));
        } else if constexpr (Channels == 4) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, p, 4);
            v = _mm_cvtsi32_si128(static_cast<int>(bits));
        } else {
            std::uint16_t low = 0;
            std::memcpy(&low, p, 2);
            v = _mm_cvtsi32_si128(static_cast<int>(std::uint32_t{low} | std::uint32_t{p[2]} << 16));
        }
        if constexpr (Wide) {
            // Big-endian 16-bit samples.
            v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
            v = _mm_unpacklo_epi16(v, zero);
        } else {
            v = _mm_unpacklo_epi16(_mm_unpacklo_epi8(v, zero), zero);
        }
        return _mm_mul_ps(_mm_cvtepi32_ps(v), _mm_set1_ps(kWiden));
    };
    const float* parts = columnParts_.data();
    float* cell = line_.data();
    for (std::size_t tx = 0; tx < width_; ++tx, cell += 5) {
        __m128 sums = _mm_setzero_ps();
        float alphaSum = 0.0f;
        const std::uint8_t* p = r + columnStarts_[tx] * kStep;
        for (std::size_t n = columnEnds_[tx] - columnStarts_[tx]; n != 0; --n, p += kStep) {
            const __m128 part = _mm_set1_ps(*parts++);
            const __m128 at = samples(p);
            if constexpr (Opaque) {
                sums = _mm_add_ps(sums, _mm_mul_ps(part, _mm_and_ps(at, colourLanes)));
                alphaSum += _mm_cvtss_f32(part);
            } else {
                const float a = _mm_cvtss_f32(_mm_shuffle_ps(at, at, 3));
                const float alpha = a * kScale;
                const __m128 colours = _mm_mul_ps(_mm_set1_ps(alpha), at);
                const __m128 opacity = _mm_set_ps(65535.0f - a, 0.0f, 0.0f, 0.0f);
                const __m128 v = _mm_or_ps(_mm_and_ps(colours, colourLanes), opacity);
                sums = _mm_add_ps(sums, _mm_mul_ps(part, v));
                alphaSum += _mm_cvtss_f32(part) * alpha;
            }
        }
        _mm_storeu_ps(cell, sums);
        cell[4] = alphaSum;
    }
}

// Adds the reduced row into the one or two target rows it falls in.
void AreaReducer::addLine() {
    const Span rowSpan = rows_[row_++];
    const std::size_t n = width_ * 5;
    const auto addTo = [&](std::size_t ty, float part) {
        float* sums = sums_.data() + ty * n;
        for (std::size_t i = 0; i < n; ++i) sums[i] += part * line_[i];
    };
    addTo(rowSpan.first, static_cast<float>(rowSpan.firstPart));
    if (rowSpan.firstPart < 1.0) addTo(rowSpan.first + 1, static_cast<float>(1.0 - rowSpan.firstPart));
}

namespace {

// Whether every pixel of an 8-bit RGBA row is fully opaque: its colours
// then weigh by exactly 1 (65535 times the float 1 / 65535 is exactly 1),
// and the unweighted sums are the same.
bool rowOpaque(const std::uint8_t* row, std::size_t pixels) {
    unsigned all = 0xff;
    for (std::size_t x = 0; x < pixels; ++x) all &= row[4 * x + 3];
    return all == 0xff;
}

}  // namespace

void AreaReducer::push(const std::uint8_t* row, const RowLayout& layout) {
    if (done()) return;
    const bool opaque = layout.opaque || layout.channels < 4 ||
                        (!layout.wide && rowOpaque(row, fromWidth_));
    if (layout.channels == 3) {
        layout.wide ? reduceAcross<true, true, 3>(row) : reduceAcross<false, true, 3>(row);
    } else if (layout.wide) {
        opaque ? reduceAcross<true, true, 4>(row) : reduceAcross<true, false, 4>(row);
    } else {
        opaque ? reduceAcross<false, true, 4>(row) : reduceAcross<false, false, 4>(row);
    }
    addLine();
}

ImagePtr AreaReducer::finish(bool alpha, const char* magick) const {
    if (!done()) return nullptr;
    const double area = (static_cast<double>(fromWidth_) / static_cast<double>(width_)) *
                        (static_cast<double>(rows_.size()) / static_cast<double>(height_));
    const std::size_t channels = alpha ? 4 : 3;
    std::vector<std::uint16_t> samples(width_ * height_ * channels);
    std::uint16_t* out = samples.data();
    const auto sample = [&](double sum) {
        const double v = sum / area + 0.5;
        return static_cast<std::uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v);
    };
    for (std::size_t i = 0; i < width_ * height_; ++i) {
        const float* s = sums_.data() + i * 5;
        // Back from alpha-weighted sums to colours (none where all is clear).
        const double weight = s[4] / area;
        const double gamma = weight > 1e-12 ? 1.0 / weight : 0.0;
        *out++ = sample(gamma * s[0]);
        *out++ = sample(gamma * s[1]);
        *out++ = sample(gamma * s[2]);
        if (alpha) *out++ = static_cast<std::uint16_t>(65535 - sample(s[3]));
    }
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr reduced(ConstituteImage(width_, height_, alpha ? "RGBA" : "RGB", ShortPixel,
                                     samples.data(), exception.get()));
    if (!reduced) return nullptr;
    CopyMagickString(reduced->magick, magick, MaxTextExtent);
    return reduced;
}

}  // namespace lumigal
