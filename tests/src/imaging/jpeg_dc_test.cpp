// The DC-only reading of progressive JPEGs against the JPEG library's own
// decoding at 1/8, on files the library itself writes.
#include "imaging/jpeg_dc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "magick_image.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
}
void quiet(j_common_ptr, int) {}

// One scan of a custom progression.
struct ScanSpec {
    std::vector<int> components;
    int ss, se, ah, al;
};

struct Sample {
    const char* name;
    unsigned width, height;
    int components;        // 1 or 3
    int h0, v0;            // sampling of the first component (the others 1 x 1)
    unsigned restartRows;  // restart interval in MCU rows, 0 for none
    std::vector<ScanSpec> scans;  // empty: the library's usual progression
    bool adobeRgb = false;        // three components stored as RGB
};

// Smooth waves with a little texture, so that blocks differ (photographs'
// chroma is smooth too).
unsigned char patternValue(unsigned x, unsigned y, int channel) {
    const double wave = std::sin(x / 23.0 + channel) * std::cos(y / 31.0 - channel);
    const double v = 128.0 + 100.0 * wave + double((x ^ y) & 7);
    return static_cast<unsigned char>(v);
}

Bytes writeJpeg(const Sample& s, bool progressive = true) {
    jpeg_compress_struct info{};
    ErrorJump error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jumpOnError;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    std::vector<jpeg_scan_info> script;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = s.width;
    info.image_height = s.height;
    info.input_components = s.components;
    info.in_color_space = s.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    if (s.adobeRgb) jpeg_set_colorspace(&info, JCS_RGB);
    jpeg_set_quality(&info, 85, TRUE);
    info.comp_info[0].h_samp_factor = s.h0;
    info.comp_info[0].v_samp_factor = s.v0;
    for (int c = 1; c < s.components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    info.restart_in_rows = static_cast<int>(s.restartRows);
    if (progressive) {
        if (s.scans.empty()) {
            jpeg_simple_progression(&info);
        } else {
            for (const ScanSpec& spec : s.scans) {
                jpeg_scan_info scan{};
                scan.comps_in_scan = static_cast<int>(spec.components.size());
                for (std::size_t i = 0; i < spec.components.size(); ++i) {
                    scan.component_index[i] = spec.components[i];
                }
                scan.Ss = spec.ss;
                scan.Se = spec.se;
                scan.Ah = spec.ah;
                scan.Al = spec.al;
                script.push_back(scan);
            }
            info.scan_info = script.data();
            info.num_scans = static_cast<int>(script.size());
        }
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(s.width * static_cast<unsigned>(s.components));
    while (info.next_scanline < info.image_height) {
        for (unsigned x = 0; x < s.width; ++x) {
            for (int c = 0; c < s.components; ++c) {
                row[x * static_cast<unsigned>(s.components) + static_cast<unsigned>(c)] =
                    patternValue(x, info.next_scanline, c);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes bytes(out, out + outSize);
    std::free(out);
    return bytes;
}

// The library's own decoding at 1/8 (chroma repeated, as it does at that
// scale), or nothing when it fails.
std::optional<EighthImage> libraryEighth(const Bytes& data) {
    jpeg_decompress_struct info{};
    ErrorJump error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jumpOnError;
    error.manager.emit_message = quiet;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), data.size());
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    EighthImage image;
    image.width = info.output_width;
    image.height = info.output_height;
    image.channels = info.output_components;
    image.pixels.resize(image.width * image.height * std::size_t(image.channels));
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {image.pixels.data() +
                            info.output_scanline * image.width * std::size_t(image.channels)};
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

double psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    if (sum == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(a.size()) / sum);
}

const std::vector<ScanSpec> kSeparateDcScans = {
    // DC of each component alone, its low bit sent in a refinement scan.
    {{0}, 0, 0, 0, 1}, {{1}, 0, 0, 0, 1}, {{2}, 0, 0, 0, 1},
    {{0}, 1, 63, 0, 0}, {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0},
    {{0}, 0, 0, 1, 0}, {{1}, 0, 0, 1, 0}, {{2}, 0, 0, 1, 0},
};
const std::vector<ScanSpec> kSuccessiveDc = {
    {{0, 1, 2}, 0, 0, 0, 3}, {{0, 1, 2}, 0, 0, 3, 2}, {{0}, 1, 5, 0, 0},
    {{0, 1, 2}, 0, 0, 2, 1}, {{0, 1, 2}, 0, 0, 1, 0}, {{0}, 6, 63, 0, 0},
    {{1}, 1, 63, 0, 0},      {{2}, 1, 63, 0, 0},
};

const Sample kSamples[] = {
    {"colour_444", 200, 120, 3, 1, 1, 0, {}},
    {"colour_420_odd_size", 203, 157, 3, 2, 2, 0, {}},
    {"colour_422", 161, 97, 3, 2, 1, 0, {}},
    {"colour_440", 97, 161, 3, 1, 2, 0, {}},
    {"colour_411", 333, 40, 3, 4, 1, 0, {}},
    {"grey", 131, 77, 1, 1, 1, 0, {}},
    {"grey_restarts", 131, 77, 1, 1, 1, 1, {}},
    {"colour_420_restarts", 250, 190, 3, 2, 2, 1, {}},
    {"colour_420_restarts_every_3_rows", 250, 190, 3, 2, 2, 3, {}},
    {"separate_dc_scans_with_refinement", 180, 100, 3, 2, 2, 0, kSeparateDcScans},
    {"separate_dc_scans_restarts", 180, 100, 3, 2, 1, 2, kSeparateDcScans},
    {"successive_dc_bits", 150, 150, 3, 2, 2, 0, kSuccessiveDc},
    {"one_block", 8, 8, 3, 1, 1, 0, {}},
    {"thinner_than_a_block", 3, 300, 3, 2, 2, 0, {}},
    {"stored_as_rgb", 120, 64, 3, 1, 1, 0, {}, true},
};

class JpegEighthMatchesLibrary : public ::testing::TestWithParam<Sample> {};

TEST_P(JpegEighthMatchesLibrary, SamePixelsAsTheLibraryAtOneEighth) {
    const Sample& s = GetParam();
    const Bytes data = writeJpeg(s);
    ASSERT_FALSE(data.empty());
    const auto frame = progressiveJpegFrame(data.data(), data.size());
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width, s.width);
    EXPECT_EQ(frame->height, s.height);
    const auto expected = libraryEighth(data);
    ASSERT_TRUE(expected);
    const auto ours = decodeJpegEighth(data.data(), data.size(), 1U << 30);
    ASSERT_TRUE(ours);
    EXPECT_EQ(ours->width, expected->width);
    EXPECT_EQ(ours->height, expected->height);
    EXPECT_EQ(ours->channels, expected->channels);
    ASSERT_EQ(ours->pixels.size(), expected->pixels.size());
    // With chroma halved both ways, the library decodes chroma at 2 x 2 per
    // block from its first AC coefficients; the DC alone gives the block's
    // mean: close, not equal. Any other sampling gives the same bytes.
    const bool chromaFromAc = s.components == 3 && s.h0 >= 2 && s.v0 >= 2;
    if (!chromaFromAc) {
        std::size_t differing = 0;
        for (std::size_t i = 0; i < ours->pixels.size(); ++i) {
            differing += ours->pixels[i] != expected->pixels[i];
        }
        EXPECT_EQ(differing, 0U) << "of " << ours->pixels.size() << " samples";
    } else {
        EXPECT_GE(psnr(ours->pixels, expected->pixels), 27.0);  // photographs: 35 to 44 dB
        EXPECT_NE(ours->pixels, expected->pixels);
    }
}

INSTANTIATE_TEST_SUITE_P(Progressions, JpegEighthMatchesLibrary, ::testing::ValuesIn(kSamples),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JpegEighth, TakesOnlyProgressiveHuffmanJpegs) {
    const Sample colour{"c", 64, 64, 3, 2, 2, 0, {}};
    const Bytes baseline = writeJpeg(colour, false);
    ASSERT_FALSE(baseline.empty());
    EXPECT_FALSE(progressiveJpegFrame(baseline.data(), baseline.size()));
    EXPECT_FALSE(decodeJpegEighth(baseline.data(), baseline.size(), 1U << 30));

    const Bytes progressive = writeJpeg(colour);
    // The frame header turned into an arithmetic-coded one (SOF10).
    Bytes arithmetic = progressive;
    for (std::size_t i = 0; i + 1 < arithmetic.size(); ++i) {
        if (arithmetic[i] == 0xFF && arithmetic[i + 1] == 0xC2) {
            arithmetic[i + 1] = 0xCA;
            break;
        }
    }
    EXPECT_FALSE(progressiveJpegFrame(arithmetic.data(), arithmetic.size()));
    const std::string png = "\x89PNG\r\n\x1a\n";
    EXPECT_FALSE(progressiveJpegFrame(reinterpret_cast<const std::uint8_t*>(png.data()), png.size()));
    EXPECT_FALSE(progressiveJpegFrame(nullptr, 0));
    // Too many pixels for the caller's limit.
    EXPECT_FALSE(decodeJpegEighth(progressive.data(), progressive.size(), 64 * 64 - 1));
    EXPECT_TRUE(decodeJpegEighth(progressive.data(), progressive.size(), 64 * 64));
}

// Cut short or damaged anywhere, a file gives an image of the right size or
// nothing, never a crash (the sanitizer build checks the accesses). Cut in
// its AC scans, after every DC scan, the image is the whole file's.
TEST(JpegEighth, DamagedFilesAreReadSafely) {
    const Sample s{"c", 203, 157, 3, 2, 2, 1, kSeparateDcScans};
    const Bytes data = writeJpeg(s);
    ASSERT_FALSE(data.empty());
    const auto whole = decodeJpegEighth(data.data(), data.size(), 1U << 30);
    ASSERT_TRUE(whole);
    // The position of the last DC scan's end: the first AC scan after it.
    std::size_t scans = 0, lastDcEnd = 0;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0xFF && data[i + 1] == 0xDA && ++scans == 10) lastDcEnd = i;
    }
    for (std::size_t cut = 0; cut <= data.size(); cut += 7) {
        const auto image = decodeJpegEighth(data.data(), cut, 1U << 30);
        if (!image) continue;
        EXPECT_EQ(image->width, whole->width);
        EXPECT_EQ(image->height, whole->height);
        if (lastDcEnd != 0 && cut > lastDcEnd) {
            EXPECT_EQ(image->pixels, whole->pixels) << cut;
        }
    }
    // Flipped bytes in the scan data and in the headers.
    for (std::size_t at = 2; at < data.size(); at += 13) {
        Bytes damaged = data;
        damaged[at] ^= 0x5A;
        const auto image = decodeJpegEighth(damaged.data(), damaged.size(), 1U << 30);
        if (image) {
            EXPECT_EQ(image->pixels.size(), image->width * image->height * 3);
        }
    }
}

// Through ImageMagick: the image of a progressive JPEG read with a size
// hint that asks for 1/8 has the pixels, size and format that its own
// decoder gives, and keeps the header's attributes.
TEST(JpegEighth, ReadImageFirstFrameMatchesImageMagick) {
    startImageLibrary();
    const std::string folder = test::makeTempFolder("jpeg_eighth");
    for (const Sample& s : {Sample{"colour", 407, 333, 3, 2, 1, 0, {}},
                            Sample{"grey", 400, 320, 1, 1, 1, 0, {}}}) {
        const Bytes data = writeJpeg(s);
        const std::string path = folder + "/" + s.name + ".jpg";
        ASSERT_TRUE(test::writeBytes(path, std::string(data.begin(), data.end())));
        std::string error;
        const ImagePtr ours = readImageFirstFrame(path, error, "40x40");
        ASSERT_TRUE(ours) << error;

        ImageInfoPtr info(AcquireImageInfo());
        SetImageOption(info.get(), "jpeg:size", "40x40");
        ExceptionPtr exception(AcquireExceptionInfo());
        const ImagePtr theirs(BlobToImage(info.get(), data.data(), data.size(), exception.get()));
        ASSERT_TRUE(theirs);
        ASSERT_EQ(ours->columns, theirs->columns) << s.name;
        ASSERT_EQ(ours->rows, theirs->rows) << s.name;
        EXPECT_EQ(ours->columns, (s.width + 7) / 8);
        EXPECT_STREQ(ours->magick, theirs->magick);
        EXPECT_EQ(ours->interlace, theirs->interlace);
        EXPECT_EQ(ours->colorspace, theirs->colorspace) << s.name;
        const std::size_t n = ours->columns * ours->rows * 3;
        std::vector<unsigned short> a(n), b(n);
        ASSERT_TRUE(ExportImagePixels(ours.get(), 0, 0, ours->columns, ours->rows, "RGB",
                                      ShortPixel, a.data(), exception.get()));
        ASSERT_TRUE(ExportImagePixels(theirs.get(), 0, 0, theirs->columns, theirs->rows, "RGB",
                                      ShortPixel, b.data(), exception.get()));
        EXPECT_EQ(a, b) << s.name;

        // A hint that asks for more than 1/8 goes to the usual decoder.
        const ImagePtr larger = readImageFirstFrame(path, error, "100x100");
        ASSERT_TRUE(larger);
        EXPECT_GT(larger->columns, (s.width + 7) / 8);
    }
}

}  // namespace
}  // namespace lumigal
