#include "area_reducer.h"

#include <algorithm>

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

// Where each target pixel's source columns start (and the last ends) when
// every source pixel falls in one target pixel; empty otherwise.
std::vector<std::size_t> wholeColumnStarts(const std::vector<AreaReducer::Span>& columns,
                                           std::size_t width) {
    std::vector<std::size_t> starts(width + 1, columns.size());
    std::size_t next = 0;
    for (std::size_t x = 0; x < columns.size(); ++x) {
        if (columns[x].firstPart < 1.0) return {};
        while (next <= columns[x].first) starts[next++] = x;
    }
    if (next != width) return {};
    return starts;
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
      line_(toWidth * 5, 0.0f),
      columnStarts_(wholeColumnStarts(columns_, toWidth)) {}

std::uint64_t AreaReducer::workingBytes(std::size_t fromWidth, std::size_t toWidth,
                                        std::size_t toHeight) {
    return std::uint64_t{toWidth} * toHeight * 5 * sizeof(float) +
           std::uint64_t{fromWidth} * (sizeof(Span) + sizeof(std::size_t)) +
           std::uint64_t{toWidth} * 5 * sizeof(float);
}

// One source row reduced across into line_: per target pixel the sums of
// its colours weighted by their alpha (as ScaleImage weighs them), of the
// opacity and of the alpha. An opaque row skips the weighting.
template <bool Wide, bool Opaque, int Channels>
void AreaReducer::reduceAcross(const std::uint8_t* r) {
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
    constexpr std::size_t kStep = (Wide ? 2 : 1) * Channels;
    float* line = line_.data();
    if (!columnStarts_.empty()) {
        // Every target pixel covers whole source pixels: sum them in place.
        for (std::size_t tx = 0; tx < width_; ++tx) {
            float red = 0, green = 0, blue = 0, opacity = 0, alpha = 0;
            const std::uint8_t* p = r + columnStarts_[tx] * kStep;
            const std::uint8_t* end = r + columnStarts_[tx + 1] * kStep;
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
    std::fill(line_.begin(), line_.end(), 0.0f);
    const Span* span = columns_.data();
    for (std::size_t x = 0; x < fromWidth_; ++x, ++span, r += kStep) {
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

void AreaReducer::push(const std::uint8_t* row, const RowLayout& layout) {
    if (done()) return;
    const bool opaque = layout.opaque || layout.channels < 4;
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
