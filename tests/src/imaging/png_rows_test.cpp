// The PNG row reader of our own: the filters undone as PNG defines them,
// and the rows of files written by libpng given back exactly, or not at
// all when the file is damaged.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "png_idat_rows.h"
#include "png_unfilter.h"

namespace lumigal {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Filters `raw` as a PNG writer does (the reference: the definition).
Bytes filterRow(int filter, const Bytes& raw, const Bytes& prior, std::size_t bpp) {
    Bytes out(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const int a = i >= bpp ? raw[i - bpp] : 0, b = prior[i], c = i >= bpp ? prior[i - bpp] : 0;
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        const int predictors[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
        out[i] = static_cast<std::uint8_t>(raw[i] - predictors[filter]);
    }
    return out;
}

TEST(PngUnfilter, EachFilterAndPixelSizeGivesTheRowBack) {
    std::mt19937 random(7);
    for (const std::size_t bpp : {1, 2, 3, 4, 6, 8}) {
        for (int filter = 0; filter <= 4; ++filter) {
            SCOPED_TRACE("bpp " + std::to_string(bpp) + " filter " + std::to_string(filter));
            const std::size_t length = bpp * 53;
            Bytes raw(length), prior(length);
            // Runs of extremes as well as noise: Paeth's ties and Average's carries.
            for (std::size_t i = 0; i < length; ++i) {
                raw[i] = static_cast<std::uint8_t>(i % 17 < 4 ? 255 * (i % 2) : random());
                prior[i] = static_cast<std::uint8_t>(i % 13 < 3 ? 255 : random());
            }
            Bytes row = filterRow(filter, raw, prior, bpp);
            ASSERT_TRUE(unfilterPngRow(filter, row.data(), prior.data(), length, bpp));
            EXPECT_EQ(row, raw);
        }
    }
    Bytes row(8, 1), prior(8, 0);
    EXPECT_FALSE(unfilterPngRow(5, row.data(), prior.data(), row.size(), 4));
    EXPECT_EQ(row, Bytes(8, 1));
}

void appendBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void noFlush(png_structp) {}

// A PNG of `pixels` written by libpng with every filter in use and IDAT
// chunks of at most `chunk` bytes.
Bytes writePng(const Bytes& pixels, unsigned width, unsigned height, int channels, std::size_t chunk) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &out, appendBytes, noFlush);
        png_set_IHDR(png, info, width, height, 8, channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
        png_set_compression_buffer_size(png, chunk);
        png_write_info(png, info);
        for (unsigned y = 0; y < height; ++y) {
            png_write_row(png, pixels.data() + std::size_t{y} * width * channels);
        }
        png_write_end(png, info);
    } else {
        out.clear();
    }
    png_destroy_write_struct(&png, &info);
    return out;
}

std::uint32_t at32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// Where the first IDAT chunk starts, and the end of the last one.
std::pair<std::size_t, std::size_t> idatSpan(const Bytes& png) {
    std::size_t at = 8, first = 0, end = 0;
    while (at + 12 <= png.size()) {
        const std::size_t length = at32(png, at);
        if (png[at + 4] == 'I' && png[at + 5] == 'D' && png[at + 6] == 'A' && png[at + 7] == 'T') {
            if (first == 0) first = at;
            end = at + 12 + length;
        }
        at += 12 + length;
    }
    return {first, end};
}

void fixCrc(Bytes& png, std::size_t chunk) {
    const std::uint32_t length = at32(png, chunk);
    const auto crc = static_cast<std::uint32_t>(crc32(0, png.data() + chunk + 4, length + 4));
    for (int k = 0; k < 4; ++k) png[chunk + 8 + length + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
}

// Reads every row; the number of rows given, and whether it ended well.
std::pair<std::size_t, bool> readRows(const Bytes& png, unsigned width, unsigned height, int channels,
                                      const Bytes* expected) {
    PngIdatRows rows(png.data(), png.size(), idatSpan(png).first, std::size_t{width} * channels, height,
                     static_cast<std::size_t>(channels));
    std::size_t given = 0;
    const std::size_t stride = std::size_t{width} * channels;
    while (const std::uint8_t* row = rows.next()) {
        if (expected && !std::equal(row, row + stride, expected->begin() + given * stride)) {
            ADD_FAILURE() << "row " << given << " differs";
        }
        ++given;
    }
    return {given, rows.complete()};
}

TEST(PngIdatRows, GivesLibpngsRowsExactly) {
    struct Case {
        unsigned width, height;
        int channels;
        std::size_t chunk;  // IDAT size
    } cases[] = {
        {200, 60, 3, 8192},    // one chunk, RGB
        {97, 61, 4, 100},      // many small chunks
        {3000, 70, 4, 65536},  // rows that straddle the reader's buffer
        {70001, 3, 3, 8192},   // rows larger than its buffer
    };
    std::mt19937 random(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        Bytes pixels(std::size_t{c.width} * c.height * c.channels);
        // Smooth areas and noise, so that the writer picks every filter.
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<std::uint8_t>((i / 1000) % 2 ? random() : (i / 7) % 256);
        }
        const Bytes png = writePng(pixels, c.width, c.height, c.channels, c.chunk);
        ASSERT_FALSE(png.empty());
        const auto [given, complete] = readRows(png, c.width, c.height, c.channels, &pixels);
        EXPECT_EQ(given, c.height);
        EXPECT_TRUE(complete);
    }
}

TEST(PngIdatRows, DamageEndsTheRows) {
    const unsigned width = 300, height = 200;
    Bytes pixels(std::size_t{width} * height * 4);
    std::mt19937 random(5);
    for (auto& b : pixels) b = static_cast<std::uint8_t>(random() % 8);
    const Bytes good = writePng(pixels, width, height, 4, 1 << 20);  // one IDAT
    const auto [first, end] = idatSpan(good);
    const std::size_t length = at32(good, first);
    struct Case {
        const char* name;
        Bytes png;
    };
    std::vector<Case> cases;
    Bytes crc = good;
    crc[first + 8 + length / 2] ^= 0x40;  // the chunk's checksum no longer holds
    cases.push_back({"bad CRC", crc});
    Bytes data = crc;
    fixCrc(data, first);  // the compressed data itself is wrong
    cases.push_back({"bad deflate data or adler32", data});
    Bytes adler = good;
    adler[first + 8 + length - 1] ^= 1;  // the last byte of the zlib stream: its adler32
    fixCrc(adler, first);
    cases.push_back({"bad adler32", adler});
    cases.push_back({"truncated", Bytes(good.begin(), good.begin() + static_cast<long>(first + 8 + length / 2))});
    Bytes claimed = good;  // a chunk length past the end of the file
    claimed[first] = 0x7f;
    cases.push_back({"huge chunk length", claimed});
    Bytes window = good;  // a 16 KB window claimed, its header check kept right
    window[first + 8] = 0x68;
    const int level = window[first + 9] & 0xe0;
    window[first + 9] = static_cast<std::uint8_t>(level + (31 - (0x68 * 256 + level) % 31) % 31);
    fixCrc(window, first);
    cases.push_back({"smaller window", window});
    // A filter type that does not exist, in the rows compressed on their own.
    Bytes rows;
    for (unsigned y = 0; y < height; ++y) {
        rows.push_back(y == height / 2 ? 5 : 0);
        rows.insert(rows.end(), pixels.begin() + std::size_t{y} * width * 4,
                    pixels.begin() + std::size_t{y + 1} * width * 4);
    }
    uLongf packed = compressBound(rows.size());
    Bytes filter(8 + 12 + packed);
    ASSERT_EQ(compress(filter.data() + 16, &packed, rows.data(), rows.size()), Z_OK);
    filter.resize(8 + 12 + packed);
    for (int k = 0; k < 4; ++k) filter[8 + k] = static_cast<std::uint8_t>(packed >> (24 - 8 * k));
    std::copy_n("IDAT", 4, filter.begin() + 12);
    fixCrc(filter, 8);
    cases.push_back({"unknown filter type", filter});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [given, complete] = readRows(c.png, width, height, 4, nullptr);
        EXPECT_LT(given, height);
        EXPECT_FALSE(complete);
    }
    // More rows claimed than the stream holds, and fewer.
    EXPECT_FALSE(readRows(good, width, height + 1, 4, nullptr).second);
    EXPECT_FALSE(readRows(good, width, height - 1, 4, nullptr).second);
}

}  // namespace
}  // namespace lumigal
