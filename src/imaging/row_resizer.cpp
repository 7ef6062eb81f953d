#include "row_resizer.h"

#include <algorithm>
#include <cmath>

namespace lumigal {

RowResizer::Filter RowResizer::filter(std::size_t from, std::size_t to) {
    Filter f;
    const double scale = static_cast<double>(from) / static_cast<double>(to);
    const double widen = std::max(scale, 1.0);
    const double support = widen;  // the triangle reaches 1 target pixel, widened
    f.width = static_cast<std::size_t>(std::ceil(2 * support)) + 1;
    f.taps.resize(to);
    f.weights.assign(to * f.width, 0.0f);
    std::vector<double> w(f.width);
    for (std::size_t i = 0; i < to; ++i) {
        const double center = (static_cast<double>(i) + 0.5) * scale;
        const auto start = static_cast<std::size_t>(std::max(center - support + 0.5, 0.0));
        const auto stop = std::min(static_cast<std::size_t>(std::max(center + support + 0.5, 0.0)),
                                   from);
        double sum = 0;
        std::size_t count = 0;
        for (std::size_t j = start; j < stop && count < f.width; ++j, ++count) {
            const double x = std::abs((static_cast<double>(j) + 0.5 - center) / widen);
            w[count] = x < 1.0 ? 1.0 - x : 0.0;
            sum += w[count];
        }
        // A pixel between two taps' reach (rounding at the very edges): the
        // nearest source pixel.
        if (count == 0 || sum <= 0) {
            const auto nearest = std::min(static_cast<std::size_t>(center), from - 1);
            f.taps[i] = {nearest, 1};
            f.weights[i * f.width] = 1.0f;
            continue;
        }
        f.taps[i] = {start, count};
        for (std::size_t k = 0; k < count; ++k) {
            f.weights[i * f.width + k] = static_cast<float>(w[k] / sum);
        }
    }
    return f;
}

std::uint64_t RowResizer::workingBytes(std::size_t fromWidth, std::size_t fromHeight,
                                       std::size_t toWidth, std::size_t toHeight, int channels) {
    const auto taps = [](std::size_t from, std::size_t to) {
        return static_cast<std::uint64_t>(std::ceil(2 * std::max(1.0, double(from) / double(to)))) + 1;
    };
    const std::uint64_t down = taps(fromHeight, toHeight);
    return down * toWidth * static_cast<std::uint64_t>(channels) * sizeof(float) +
           (taps(fromWidth, toWidth) * toWidth + down * toHeight) * sizeof(float) +
           (toWidth + toHeight) * sizeof(Taps) + toWidth * std::uint64_t(channels) * sizeof(float);
}

RowResizer::RowResizer(std::size_t fromWidth, std::size_t fromHeight, std::size_t toWidth,
                       std::size_t toHeight, int channels)
    : fromHeight_(fromHeight),
      channels_(channels),
      alpha_(channels == 2 || channels == 4),
      across_(filter(fromWidth, toWidth)),
      down_(filter(fromHeight, toHeight)) {
    target_.width = toWidth;
    target_.height = toHeight;
    target_.channels = channels;
    target_.samples.resize(toWidth * toHeight * static_cast<std::size_t>(channels));
    ring_.resize(down_.width * toWidth * static_cast<std::size_t>(channels));
}

void RowResizer::push(const std::uint8_t* row) {
    if (done()) return;
    const auto n = static_cast<std::size_t>(channels_);
    const std::size_t width = target_.width;
    float* line = ring_.data() + (nextSource_ % down_.width) * width * n;
    const std::size_t colours = alpha_ ? n - 1 : n;
    for (std::size_t x = 0; x < width; ++x) {
        const Taps t = across_.taps[x];
        const float* w = across_.weights.data() + x * across_.width;
        const std::uint8_t* p = row + t.first * n;
        float sums[4] = {0, 0, 0, 0};
        for (std::size_t k = 0; k < t.count; ++k, p += n) {
            if (alpha_) {
                const float a = w[k] * static_cast<float>(p[n - 1]);
                for (std::size_t c = 0; c < colours; ++c) sums[c] += a * static_cast<float>(p[c]);
                sums[n - 1] += a;
            } else {
                for (std::size_t c = 0; c < n; ++c) sums[c] += w[k] * static_cast<float>(p[c]);
            }
        }
        for (std::size_t c = 0; c < n; ++c) line[x * n + c] = sums[c];
    }
    ++nextSource_;
    // Every target row whose source rows have all come.
    while (nextTarget_ < target_.height) {
        const Taps t = down_.taps[nextTarget_];
        if (t.first + t.count > nextSource_) break;
        emitRow(nextTarget_++);
    }
}

void RowResizer::emitRow(std::size_t y) {
    const auto n = static_cast<std::size_t>(channels_);
    const std::size_t width = target_.width;
    const Taps t = down_.taps[y];
    const float* w = down_.weights.data() + y * down_.width;
    std::vector<float>& sums = sums_;
    sums.assign(width * n, 0.0f);
    for (std::size_t k = 0; k < t.count; ++k) {
        const float* line = ring_.data() + ((t.first + k) % down_.width) * width * n;
        const float weight = w[k];
        for (std::size_t i = 0; i < width * n; ++i) sums[i] += weight * line[i];
    }
    const auto sample = [](float v) {
        const float r = v + 0.5f;
        return static_cast<std::uint8_t>(r <= 0 ? 0 : r >= 255 ? 255 : r);
    };
    std::uint8_t* out = target_.samples.data() + y * width * n;
    for (std::size_t x = 0; x < width; ++x) {
        const float* s = sums.data() + x * n;
        std::uint8_t* o = out + x * n;
        if (alpha_) {
            const float a = s[n - 1];
            const float gamma = a > 1e-6f ? 1.0f / a : 0.0f;  // colours back from the weighting
            for (std::size_t c = 0; c + 1 < n; ++c) o[c] = sample(s[c] * gamma);
            o[n - 1] = sample(a);
        } else {
            for (std::size_t c = 0; c < n; ++c) o[c] = sample(s[c]);
        }
    }
}

}  // namespace lumigal
