// The area reduction against the plain definition it must follow bit for
// bit: each source pixel's colours weighted by its alpha, spread over the
// one or two target pixels its span falls in, in source order, in floats.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "area_reducer.h"
#include "imaging/image_library.h"

namespace lumigal {
namespace {

struct Shape {
    std::size_t fromWidth, fromHeight, toWidth, toHeight;
    int channels;
    bool wide, opaque;
};

// The reduced samples as the definition makes them.
std::vector<std::uint16_t> reference(const Shape& s, const std::vector<std::vector<std::uint8_t>>& rows,
                                     bool alpha) {
    const auto spanOf = [](std::size_t x, std::size_t from, std::size_t to) {
        const double scale = static_cast<double>(to) / static_cast<double>(from);
        const double start = static_cast<double>(x) * scale, end = static_cast<double>(x + 1) * scale;
        auto first = static_cast<std::size_t>(start);
        if (first >= to) first = to - 1;
        const double boundary = static_cast<double>(first + 1);
        const double part = (end <= boundary || first + 1 >= to) ? 1.0 : (boundary - start) / scale;
        return std::pair<std::size_t, double>(first, part);
    };
    std::vector<float> sums(s.toWidth * s.toHeight * 5, 0.0f), line(s.toWidth * 5);
    const std::size_t step = (s.wide ? 2 : 1) * static_cast<std::size_t>(s.channels);
    for (std::size_t y = 0; y < s.fromHeight; ++y) {
        std::fill(line.begin(), line.end(), 0.0f);
        for (std::size_t x = 0; x < s.fromWidth; ++x) {
            const std::uint8_t* p = rows[y].data() + x * step;
            const auto at = [&](int k) {
                return s.wide ? static_cast<float>(p[2 * k] << 8 | p[2 * k + 1]) : static_cast<float>(p[k]) * 257.0f;
            };
            float v[5] = {at(0), at(1), at(2), 0.0f, 1.0f};
            if (s.channels == 4 && !s.opaque) {
                const float a = at(3), weight = a * (1.0f / 65535.0f);
                v[0] = weight * at(0), v[1] = weight * at(1), v[2] = weight * at(2);
                v[3] = 65535.0f - a, v[4] = weight;
            }
            const auto [first, part] = spanOf(x, s.fromWidth, s.toWidth);
            const auto f = static_cast<float>(part);
            for (int k = 0; k < 5; ++k) {
                line[first * 5 + k] += part >= 1.0 ? v[k] : f * v[k];
                if (part < 1.0) line[(first + 1) * 5 + k] += (1.0f - f) * v[k];
            }
        }
        const auto [first, part] = spanOf(y, s.fromHeight, s.toHeight);
        for (std::size_t i = 0; i < line.size(); ++i) {
            sums[first * line.size() + i] += static_cast<float>(part) * line[i];
            if (part < 1.0) sums[(first + 1) * line.size() + i] += static_cast<float>(1.0 - part) * line[i];
        }
    }
    const double area = (static_cast<double>(s.fromWidth) / static_cast<double>(s.toWidth)) *
                        (static_cast<double>(s.fromHeight) / static_cast<double>(s.toHeight));
    const auto sample = [&](double sum) {
        const double v = sum / area + 0.5;
        return static_cast<std::uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v);
    };
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i < s.toWidth * s.toHeight; ++i) {
        const float* c = sums.data() + i * 5;
        const double weight = c[4] / area, gamma = weight > 1e-12 ? 1.0 / weight : 0.0;
        for (int k = 0; k < 3; ++k) out.push_back(sample(gamma * c[k]));
        if (alpha) out.push_back(static_cast<std::uint16_t>(65535 - sample(c[3])));
    }
    return out;
}

TEST(AreaReducer, FollowsTheDefinitionBitForBit) {
    startImageLibrary();
    const Shape shapes[] = {
        {3640, 7, 960, 2, 4, false, false},  // spans that straddle, with alpha
        {3640, 7, 960, 2, 4, false, true},   // the same, alpha ignored
        {4096, 9, 960, 3, 3, false, true},   // RGB
        {1920, 8, 960, 4, 4, false, false},  // whole columns
        {301, 5, 7, 2, 4, true, false},      // 16 bits a sample
        {301, 5, 7, 2, 3, true, true},
    };
    std::mt19937 random(11);
    for (const Shape& s : shapes) {
        SCOPED_TRACE(std::to_string(s.fromWidth) + " to " + std::to_string(s.toWidth) + ", " +
                     std::to_string(s.channels) + (s.wide ? " wide" : "") + (s.opaque ? " opaque" : ""));
        const std::size_t step = (s.wide ? 2 : 1) * static_cast<std::size_t>(s.channels);
        std::vector<std::vector<std::uint8_t>> rows(s.fromHeight, std::vector<std::uint8_t>(s.fromWidth * step));
        for (std::size_t y = 0; y < s.fromHeight; ++y) {
            for (auto& b : rows[y]) b = static_cast<std::uint8_t>(random());
            // Fully opaque rows too, and a fully clear pixel.
            if (s.channels == 4 && y % 2 == 0) {
                for (std::size_t x = 0; x < s.fromWidth; ++x) {
                    for (std::size_t k = 3 * step / 4; k < step; ++k) rows[y][x * step + k] = 0xff;
                }
                if (y == 2) rows[y][step - 1] = rows[y][step - (s.wide ? 2 : 1)] = 0;
                // Opaque but for one pixel near the end.
                if (y == 4) rows[y][(s.fromWidth - 2) * step + step - 1] = rows[y][(s.fromWidth - 2) * step + 3 * step / 4] = 200;
            }
        }
        AreaReducer reducer(s.fromWidth, s.fromHeight, s.toWidth, s.toHeight);
        RowLayout layout;
        layout.wide = s.wide;
        layout.channels = s.channels;
        layout.opaque = s.opaque;
        for (const auto& row : rows) reducer.push(row.data(), layout);
        ASSERT_TRUE(reducer.done());
        const bool alpha = s.channels == 4 && !s.opaque;
        const ImagePtr image = reducer.finish(alpha, "PNG");
        ASSERT_TRUE(image);
        std::vector<std::uint16_t> got(s.toWidth * s.toHeight * (alpha ? 4 : 3));
        ExceptionPtr exception(AcquireExceptionInfo());
        ASSERT_TRUE(ExportImagePixels(image.get(), 0, 0, s.toWidth, s.toHeight, alpha ? "RGBA" : "RGB",
                                      ShortPixel, got.data(), exception.get()));
        EXPECT_EQ(got, reference(s, rows, alpha));
    }
}

}  // namespace
}  // namespace lumigal
