// Reduced reads: the TIFF reduced-resolution images, the readers that reduce
// large images as their rows come, and the colour profile they keep.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "image_formats_fixture.h"
#include "imaging/image_io.h"
#include "imaging/thumbnail.h"
#include "decode_limits.h"
#include "reduced_read.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

using test::markedCorners;
using test::readFile;

// `tiff` (little-endian) with every directory after the first marked as a
// reduced-resolution image (NewSubfileType 1), as pyramids mark them.
std::string markedReduced(std::string tiff) {
    const auto le = [&](std::size_t at, int n) {
        std::uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(tiff[at + i]);
        return v;
    };
    std::uint32_t offset = le(4, 4);
    for (int index = 0; offset != 0 && offset + 2 <= tiff.size() && index < 16; ++index) {
        const std::uint32_t entries = le(offset, 2);
        for (std::uint32_t e = 0; e < entries && index > 0; ++e) {
            const std::size_t at = offset + 2 + 12 * e;
            if (le(at, 2) == 254) tiff.replace(at + 8, 4, le32(1));
        }
        offset = le(offset + 2 + 12 * entries, 4);
    }
    return tiff;
}

TEST_F(ImageFormatsTest, ReducedReadsTakeTheSmallestSizeThatServes) {
    const std::vector<unsigned char> rgb = markedCorners(640, 480);
    ASSERT_TRUE(test::writeTestImage(path("big.webp"), 640, 480, rgb));
    // The HEIF thumbnail item: 320 x 240 beside the 640 x 480 image.
    ASSERT_TRUE(test::writeTestImage(path("big.jpg"), 640, 480, rgb));
    for (const char* options : {"", "-A "}) {
        const std::string command = std::string("heif-enc -q 80 -t 320 ") + options + "-o '" +
                                    path(*options ? "big.avif" : "big.heic") + "' '" +
                                    path("big.jpg") + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    // Each image half the one before, marked as reduced. Pages of
    // decreasing sizes are not reduced images of the first.
    const std::string pyramid = "convert '" + path("big.jpg") + "' 'PTIF:" + path("pages.tif") + "'";
    ASSERT_EQ(std::system(pyramid.c_str()), 0) << pyramid;
    ASSERT_TRUE(test::writeBytes(path("big.tif"), markedReduced(readFile(path("pages.tif")))));
    const struct {
        const char* file;
        const char* hint;
        std::size_t width, height;
    } cases[] = {
        // libwebp scales while decoding, to the least size of the image's
        // shape that covers the hint.
        {"big.webp", "100x100", 134, 100},
        {"big.webp", "200x60", 200, 150},
        {"big.webp", "", 640, 480},
        {"big.webp", "700x10", 640, 480},
        // The thumbnail item serves a hint it covers, the image any other.
        {"big.heic", "240x180", 320, 240},
        {"big.heic", "321x100", 640, 480},
        {"big.heic", "", 640, 480},
        {"big.avif", "200x150", 320, 240},
        {"big.avif", "100x241", 640, 480},
        // A pyramid TIFF: the least of its reduced images that covers it.
        {"big.tif", "200x150", 320, 240},
        {"big.tif", "100x60", 160, 120},
        {"big.tif", "", 640, 480},
        {"big.tif", "641x1", 640, 480},
        // Pages: the first one, reduced as it is read (no page is 200 wide).
        {"pages.tif", "100x60", kReducedHint * 100, kReducedHint * 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.hint);
        std::string error;
        const ImagePtr image = readImageFirstFrame(path(c.file), error, c.hint);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->columns, c.width);
        EXPECT_EQ(image->rows, c.height);
        EXPECT_EQ(corners(*image), "rg--");
    }
}

// A large image is reduced as its decoder gives the rows (to kReducedHint
// times a hint that it is at least kReduceAboveHint times): the same pixels
// as the area average of the whole image, which the thumbnail maker would
// make from it. The others come whole. The header read says which reduced
// read serves.
TEST_F(ImageFormatsTest, LargeImagesComeReducedAsTheyAreRead) {
    const std::vector<unsigned char> rgb = markedCorners(1280, 960);
    ASSERT_TRUE(test::writeTestImage(path("big.jpg"), 1280, 960, rgb));
    const auto run = [](const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); };
    const std::string big = "'" + path("big.jpg") + "' ";
    ASSERT_EQ(run("heif-enc -q 90 -o '" + path("whole.heic") + "' " + big), 0);
    ASSERT_EQ(run("heif-enc -q 90 -t 320 -o '" + path("item.heic") + "' " + big), 0);
    ASSERT_EQ(run("convert " + big + "-compress lzw '" + path("rgb.tif") + "'"), 0);
    ASSERT_EQ(run("convert " + big + "-colorspace gray -compress zip '" + path("grey.tif") + "'"), 0);
    // An alpha from opaque (right) to half (left).
    const std::string alpha = big + "\\( -size 960x1280 gradient:white-gray50 -rotate 90 \\) -alpha off "
                                    "-compose copy_opacity -composite ";
    ASSERT_EQ(run("convert " + alpha + "'" + path("rgba.tif") + "'"), 0);
    ASSERT_EQ(run("convert " + alpha + "-define tiff:alpha=associated '" + path("premultiplied.tif") + "'"), 0);
    ASSERT_EQ(run("convert " + big + "-depth 16 '" + path("wide.tif") + "'"), 0);
    ASSERT_EQ(run("convert " + big + "-define tiff:tile-geometry=256x256 '" + path("tiled.tif") + "'"), 0);
    const struct {
        const char* file;
        bool reduced;
        std::size_t previewWidth;  // of the header
        bool rowReadable;
    } cases[] = {
        {"whole.heic", true, 0, false},  {"item.heic", false, 320, false},
        {"rgb.tif", true, 0, true},      {"grey.tif", true, 0, true},
        {"rgba.tif", true, 0, true},     {"premultiplied.tif", false, 0, false},
        {"wide.tif", false, 0, false},   {"tiled.tif", false, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string error;
        const std::optional<ImageHeader> header = pingImageFile(path(c.file), error);
        ASSERT_TRUE(header) << error;
        EXPECT_EQ(header->previewWidth, c.previewWidth);
        EXPECT_EQ(header->rowReadable, c.rowReadable);
        // For a hint of 80 x 60: the item (320 x 240) serves, itself reduced
        // as it is read.
        const ImagePtr read = readImageFirstFrame(path(c.file), error, "80x60");
        ASSERT_TRUE(read) << error;
        const std::size_t width = c.reduced || c.previewWidth ? kReducedHint * 80 : 1280;
        EXPECT_EQ(read->columns, width);
        EXPECT_EQ(read->rows, width * 3 / 4);
        if (std::string(c.file) != "grey.tif") {
            EXPECT_EQ(corners(*read), "rg--");
        }
        if (!c.reduced) continue;
        const ImagePtr whole = readImageFirstFrame(path(c.file), error);
        ASSERT_TRUE(whole) << error;
        ExceptionPtr exception(AcquireExceptionInfo());
        const ImagePtr scaled(ScaleImage(whole.get(), width, width * 3 / 4, exception.get()));
        ASSERT_TRUE(scaled);
        EXPECT_EQ(read->matte, scaled->matte);
        double psnr = 0;
        ASSERT_TRUE(GetImageDistortion(scaled.get(), read.get(), PeakSignalToNoiseRatioMetric, &psnr,
                                       exception.get()));
        EXPECT_GE(psnr, 45.0);
    }
}

// What our own readers decode keeps the file's ICC profile, as the image
// library's readers do: the thumbnails and web copies of a wide-gamut photo
// keep its colours.
TEST_F(ImageFormatsTest, OwnReadersKeepTheColourProfile) {
    cmsHPROFILE made = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(made, nullptr, &size);
    std::string icc(size, '\0');
    cmsSaveProfileToMem(made, icc.data(), &size);
    cmsCloseProfile(made);
    ASSERT_TRUE(test::writeBytes(path("srgb.icc"), icc));
    ASSERT_TRUE(test::writeTestImage(path("plain.jpg"), 1280, 960, markedCorners(1280, 960)));
    const auto run = [](const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); };
    ASSERT_EQ(run("convert '" + path("plain.jpg") + "' -profile '" + path("srgb.icc") + "' '" + path("icc.jpg") + "'"), 0);
    for (const std::string& to : {"PNG24:" + path("icc.png"), path("icc.tif"), path("icc.webp")}) {
        ASSERT_EQ(run("convert '" + path("icc.jpg") + "' '" + to + "'"), 0) << to;
    }
    ASSERT_EQ(run("heif-enc -q 90 -o '" + path("icc.heic") + "' '" + path("icc.jpg") + "'"), 0);
    ASSERT_EQ(run("heif-enc -q 90 -t 320 -o '" + path("item.heic") + "' '" + path("icc.jpg") + "'"), 0);
    const auto profileOf = [](const ImagePtr& image) {
        const StringInfo* profile = image ? GetImageProfile(image.get(), "icc") : nullptr;
        return profile ? std::string(reinterpret_cast<const char*>(GetStringInfoDatum(profile)),
                                     GetStringInfoLength(profile))
                       : std::string();
    };
    for (const char* name : {"icc.tif", "icc.webp", "icc.heic", "item.heic"}) {
        for (const char* hint : {"80x60", ""}) {
            SCOPED_TRACE(std::string(name) + " " + hint);
            std::string error;
            const ImagePtr image = readImageFirstFrame(path(name), error, hint);
            ASSERT_TRUE(image) << error;
            EXPECT_EQ(profileOf(image), icc);
        }
    }
    // The thumbnail maker's own reduced read of a large PNG.
    std::string error;
    const ImagePtr png = readPngReduced(path("icc.png"), 320, 240, error);
    ASSERT_TRUE(png) << error;
    EXPECT_EQ(profileOf(png), icc);
}

}  // namespace

// An image with an alpha channel is reduced as it is read only from
// kReduceTranslucentAboveHint times the hint (the contrast stretch of the
// colours it hides would change its thumbnail); an opaque one from
// kReduceAboveHint times.
TEST_F(ImageFormatsTest, TranslucentImagesAreReducedOnlyWhenMuchLarger) {
    ASSERT_TRUE(test::writeTestImage(path("big.jpg"), 1280, 960, markedCorners(1280, 960)));
    const std::string big = "'" + path("big.jpg") + "' ";
    const std::string alpha = big + "-alpha set -channel A -evaluate set 60% +channel ";
    for (const auto& [command, file, png] :
         {std::tuple{big, "opaque", "PNG24:"}, std::tuple{alpha, "clear", "PNG32:"}}) {
        for (const char* ext : {".png", ".tif"}) {
            const std::string prefix = std::string(ext) == ".png" ? png : "";
            const std::string made = "convert " + command + "'" + prefix + path(file + std::string(ext)) +
                                     "' >/dev/null 2>&1";
            ASSERT_EQ(std::system(made.c_str()), 0) << made;
        }
        const std::string heif = "heif-enc -q 90 -o '" + path(file + std::string(".heic")) + "' '" +
                                 path(file + std::string(".png")) + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(heif.c_str()), 0) << heif;
    }
    const std::size_t within = 1280 / (kReduceTranslucentAboveHint - 1);  // a hint it is under 8 times
    static_assert(kReduceAboveHint < kReduceTranslucentAboveHint - 1);
    const struct {
        const char* file;
        std::size_t pngFactor;  // for readPngReduced
        bool reduced;
    } cases[] = {
        {"opaque.tif", 0, true},   {"clear.tif", 0, false},
        {"opaque.heic", 0, true},  {"clear.heic", 0, false},
        {"opaque.png", 4, true},   {"clear.png", 4, false},
        {"clear.png", 2, true},  // a web copy's read: no contrast to change
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.pngFactor));
        std::string error;
        const std::size_t reducedWidth = kReducedHint * within;
        ImagePtr image;
        if (c.pngFactor) {
            image = readPngReduced(path(c.file), reducedWidth, reducedWidth * 3 / 4, error, c.pngFactor);
            ASSERT_EQ(image != nullptr, c.reduced) << error;
            if (!image) continue;
        } else {
            const std::string hint = std::to_string(within) + "x" + std::to_string(within * 3 / 4);
            image = readImageFirstFrame(path(c.file), error, hint);
            ASSERT_TRUE(image) << error;
        }
        EXPECT_EQ(image->columns, c.reduced ? reducedWidth : 1280);
        EXPECT_EQ(corners(*image), "rg--");
    }
}

}  // namespace lumigal
