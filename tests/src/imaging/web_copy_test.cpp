// Web copies through the imaging library's own JPEG and PNG readers and
// writers: upright, exactly the size asked, the colour profile kept and
// nothing else of the metadata, damaged files refused with a reason.
#include "imaging/web_copy.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/image_library.h"
#include "jpeg_codec.h"
#include "png_codec.h"
#include "row_resizer.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

using Bytes = std::vector<std::uint8_t>;

class WebCopy : public ::testing::Test {
protected:
    static void SetUpTestSuite() { startImageLibrary(); }
    // One folder per test: ctest runs the tests of this suite side by side.
    std::string folder_ = test::makeTempFolder(std::string("web_copy_") +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string path(const char* name) const { return folder_ + "/" + name; }
};

ImageHeader headerOf(ImageFormat format, std::size_t width, std::size_t height, int orientation = 1) {
    ImageHeader h;
    h.format = format;
    h.width = orientation >= 5 ? height : width;
    h.height = orientation >= 5 ? width : height;
    h.orientation = orientation;
    return h;
}

// The JPEG segments before the first scan: marker and body.
std::vector<std::pair<int, std::string>> segments(const std::string& jpeg) {
    std::vector<std::pair<int, std::string>> out;
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xff) {
        const int marker = static_cast<unsigned char>(jpeg[at + 1]);
        const std::size_t length = static_cast<unsigned char>(jpeg[at + 2]) << 8 |
                                   static_cast<unsigned char>(jpeg[at + 3]);
        out.emplace_back(marker, jpeg.substr(at + 4, length - 2));
        if (marker == 0xda) break;
        at += 2 + length;
    }
    return out;
}

std::string segment(int marker, const std::string& body) {
    const std::size_t length = body.size() + 2;
    return std::string{'\xff', static_cast<char>(marker), static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xff)} + body;
}

// A real sRGB profile (the PNG library checks the profiles it reads).
Bytes iccBody() {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes icc(size);
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);
    return icc;
}

// EXIF with a GPS pointer and a GPS latitude reference, little-endian.
std::string exifWithPlace() {
    std::string tiff("II*\0\x08\0\0\0", 8);
    const auto u16 = [&](unsigned v) { tiff += static_cast<char>(v & 0xff); tiff += static_cast<char>(v >> 8); };
    const auto u32 = [&](unsigned v) { u16(v & 0xffff); u16(v >> 16); };
    u16(1);  // IFD0: the GPS pointer
    u16(0x8825); u16(4); u32(1); u32(26);
    u32(0);
    u16(1);  // GPS IFD at 26: GPSLatitudeRef "N"
    u16(0x0001); u16(2); u32(2); u32('N');
    u32(0);
    return std::string("Exif\0\0", 6) + tiff;
}

Pixels decodedJpeg(const std::string& jpeg, std::size_t width, std::size_t height) {
    Pixels image;
    std::vector<std::uint8_t> icc;
    std::string error;
    const DecodeLimits limits{16384, std::uint64_t{1} << 28, std::uint64_t{1} << 28};
    EXPECT_EQ(decodeJpegReduced(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), width,
                                height, limits, image, icc, error),
              DecodeResult::Done)
        << error;
    return image;
}

TEST_F(WebCopy, StandsUprightForEveryOrientation) {
    // Stored 32 x 16: red, green above blue, white (TL, TR, BL, BR).
    const unsigned char corner[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    std::vector<unsigned char> rgb(32 * 16 * 3);
    for (unsigned y = 0; y < 16; ++y) {
        for (unsigned x = 0; x < 32; ++x) {
            std::memcpy(&rgb[(y * 32 + x) * 3], corner[(y >= 8) * 2 + (x >= 16)], 3);
        }
    }
    ASSERT_TRUE(test::writeTestImage(path("stored.jpg"), 32, 16, rgb));
    const std::string stored = test::readFile(path("stored.jpg"));
    // Which stored corner the shown top-left and top-right come from.
    const struct { int orientation, topLeft, topRight; } cases[] = {
        {1, 0, 1}, {2, 1, 0}, {3, 3, 2}, {4, 2, 3}, {5, 0, 2}, {6, 2, 0}, {7, 3, 1}, {8, 1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        ASSERT_TRUE(test::writeBytes(path("turned.jpg"), test::withExifOrientation(stored, c.orientation, c.orientation % 2 == 0)));
        const bool quarter = c.orientation >= 5;
        const std::size_t w = quarter ? 8 : 16, h = quarter ? 16 : 8;
        std::string bytes, error;
        ASSERT_TRUE(encodeWebCopy(path("turned.jpg"), headerOf(ImageFormat::JPEG, 16, 8, c.orientation), w,
                                  h, bytes, error)) << error;
        const Pixels shown = decodedJpeg(bytes, w, h);
        ASSERT_EQ(shown.width, w);
        ASSERT_EQ(shown.height, h);
        for (const auto& [x, which] : {std::pair<std::size_t, int>{1, c.topLeft}, {w - 2, c.topRight}}) {
            const std::uint8_t* p = &shown.samples[(1 * w + x) * 3];
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], corner[which][k], 40) << "x " << x << " channel " << k;
        }
    }
}

TEST_F(WebCopy, KeepsTheColourProfileAndDropsThePlace) {
    ASSERT_TRUE(test::writeTestImage(path("plain.jpg"), 64, 48));
    const std::string plain = test::readFile(path("plain.jpg"));
    const Bytes icc = iccBody();
    const std::string profile = std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(icc.begin(), icc.end());
    const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<x:xmpmeta>GPS</x:xmpmeta>";
    const std::string tagged = plain.substr(0, 2) + segment(0xe1, exifWithPlace()) + segment(0xe1, xmp) +
                               segment(0xed, "Photoshop 3.0\0place") + segment(0xe2, profile) + plain.substr(2);
    ASSERT_TRUE(test::writeBytes(path("tagged.jpg"), tagged));
    std::string bytes, error;
    ASSERT_TRUE(encodeWebCopy(path("tagged.jpg"), headerOf(ImageFormat::JPEG, 64, 48), 32, 24, bytes, error)) << error;
    bool kept = false;
    for (const auto& [marker, body] : segments(bytes)) {
        EXPECT_NE(marker, 0xe1) << "EXIF or XMP left in the copy";
        EXPECT_NE(marker, 0xed) << "IPTC left in the copy";
        if (marker == 0xe2) kept = kept || body == profile;
    }
    EXPECT_TRUE(kept) << "the colour profile is not in the copy as it was";

    // A PNG: its profile kept, its text and EXIF chunks not.
    Pixels image{40, 30, 4, Bytes(40 * 30 * 4, 200)};
    PngColour colour;
    colour.icc = icc;
    colour.iccName = "camera";
    std::string png;
    ASSERT_TRUE(encodePng(image, colour, png, error));
    const auto chunk = [](const char* type, const std::string& data) {
        std::string c;
        for (int s = 24; s >= 0; s -= 8) c += static_cast<char>((data.size() >> s) & 0xff);
        const std::string typed = type + data;
        c += typed;
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
        for (int s = 24; s >= 0; s -= 8) c += static_cast<char>((crc >> s) & 0xff);
        return c;
    };
    const std::string tiff = exifWithPlace().substr(6);
    const std::string taggedPng = png.substr(0, 33) + chunk("eXIf", tiff) + chunk("tEXt", std::string("GPS\0here", 8)) + png.substr(33);
    ASSERT_TRUE(test::writeBytes(path("tagged.png"), taggedPng));
    ASSERT_TRUE(encodeWebCopy(path("tagged.png"), headerOf(ImageFormat::PNG, 40, 30), 20, 15, bytes, error)) << error;
    ASSERT_TRUE(test::writeBytes(path("copy.png"), bytes));  // to look at when it fails
    EXPECT_EQ(bytes.find("eXIf"), std::string::npos);
    EXPECT_EQ(bytes.find("tEXt"), std::string::npos);
    Pixels back;
    PngColour read;
    const DecodeLimits limits{16384, std::uint64_t{1} << 28, std::uint64_t{1} << 28};
    ASSERT_EQ(decodePngReduced(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 20, 15,
                               limits, back, read, error),
              DecodeResult::Done);
    EXPECT_EQ(read.icc, icc);
}

TEST_F(WebCopy, MakesExactlyTheSizeAsked) {
    const struct {
        const char* name;
        bool interlace;
        unsigned colours;
        ImageFormat format;
        std::size_t width, height, toWidth, toHeight;
    } cases[] = {
        {"wide.jpg", false, 0, ImageFormat::JPEG, 300, 200, 150, 100},     // 1/2 while it loads
        {"odd.jpg", false, 0, ImageFormat::JPEG, 1001, 333, 97, 32},       // 1/8, then the filter
        {"progressive.jpg", true, 0, ImageFormat::JPEG, 640, 480, 333, 250},
        {"same.jpg", false, 0, ImageFormat::JPEG, 120, 90, 120, 90},       // as small: only re-encoded
        {"wide.png", false, 0, ImageFormat::PNG, 300, 200, 101, 67},
        {"palette.png", false, 16, ImageFormat::PNG, 257, 129, 128, 64},
        {"interlaced.png", true, 0, ImageFormat::PNG, 200, 100, 100, 50},  // through the image library
        {"tall.gif", false, 0, ImageFormat::GIF, 50, 200, 25, 100},
        {"scan.tif", false, 0, ImageFormat::TIFF, 400, 300, 400, 300},     // browsers: a JPEG
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::writeTestImage(path(c.name), static_cast<unsigned>(c.width),
                                         static_cast<unsigned>(c.height), c.interlace, c.colours));
        ImageHeader header = headerOf(c.format, c.width, c.height);
        header.interlaced = c.interlace;
        std::string bytes, error;
        std::uint64_t reserved = 0;
        int asked = 0;
        ASSERT_TRUE(encodeWebCopy(path(c.name), header, c.toWidth, c.toHeight, bytes, error,
                                  [&](std::uint64_t b, bool) { reserved = b; ++asked; return true; }))
            << error;
        EXPECT_EQ(asked, 1);
        EXPECT_GT(reserved, std::uint64_t{c.toWidth} * c.toHeight);
        ASSERT_TRUE(test::writeBytes(path("copy"), bytes));
        std::string readError;
        const std::optional<ImageHeader> copy = pingImageFile(path("copy"), readError);
        ASSERT_TRUE(copy) << readError;
        EXPECT_EQ(copy->format, c.format == ImageFormat::TIFF ? ImageFormat::JPEG : c.format);
        EXPECT_EQ(copy->width, c.toWidth);
        EXPECT_EQ(copy->height, c.toHeight);
    }
}

TEST_F(WebCopy, WaitsWithoutHoldingTheFile) {
    ASSERT_TRUE(test::writeTestImage(path("wait.jpg"), 200, 100));
    std::vector<bool> waits;
    std::string bytes, error;
    ASSERT_TRUE(encodeWebCopy(path("wait.jpg"), headerOf(ImageFormat::JPEG, 200, 100), 100, 50, bytes, error,
                              [&](std::uint64_t, bool wait) { waits.push_back(wait); return wait; }));
    EXPECT_EQ(waits, (std::vector<bool>{false, true}));
}

TEST_F(WebCopy, RefusesDamagedFilesWithAReason) {
    ASSERT_TRUE(test::writeTestImage(path("good.jpg"), 160, 120));
    ASSERT_TRUE(test::writeTestImage(path("good.png"), 160, 120));
    const std::string jpeg = test::readFile(path("good.jpg"));
    const std::string png = test::readFile(path("good.png"));
    std::string huge = jpeg;  // the frame header says 30000 x 30000
    for (std::size_t i = 2; i + 9 < huge.size(); ++i) {
        if (static_cast<unsigned char>(huge[i]) == 0xff && static_cast<unsigned char>(huge[i + 1]) == 0xc0) {
            huge[i + 5] = huge[i + 7] = static_cast<char>(30000 >> 8);
            huge[i + 6] = huge[i + 8] = static_cast<char>(30000 & 0xff);
            break;
        }
    }
    std::string badCrc = png;
    badCrc[29] ^= 0x55;  // the IHDR's CRC
    const struct {
        const char* name;
        std::string bytes;
        ImageFormat format;
        const char* reason;  // empty: a copy is made all the same
    } cases[] = {
        {"garbage.jpg", std::string("\xff\xd8\xff\xe0", 4) + std::string(500, '\x17'), ImageFormat::JPEG, "illisible"},
        {"huge.jpg", huge, ImageFormat::JPEG, "trop grande"},
        {"cut.jpg", jpeg.substr(0, jpeg.size() * 2 / 3), ImageFormat::JPEG, ""},
        {"cut.png", png.substr(0, png.size() / 2), ImageFormat::PNG, "illisible"},
        {"crc.png", badCrc, ImageFormat::PNG, "illisible"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::writeBytes(path(c.name), c.bytes));
        std::string bytes, error;
        const bool made = encodeWebCopy(path(c.name), headerOf(c.format, 160, 120), 80, 60, bytes, error);
        if (*c.reason) {
            EXPECT_FALSE(made);
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        } else {
            EXPECT_TRUE(made) << error;
            EXPECT_EQ(decodedJpeg(bytes, 80, 60).width, 80u);
        }
    }
}

TEST(RowResizer, WeighsColoursByTheirAlpha) {
    // Opaque red, clear green, opaque blue, opaque blue, halved: the
    // triangle reaches 3 pixels each, the clear one adds no green.
    const std::uint8_t row[] = {255, 0, 0, 255, 0, 255, 0, 0, 0, 0, 255, 255, 0, 0, 255, 255};
    RowResizer resizer(4, 1, 2, 1, 4);
    resizer.push(row);
    ASSERT_TRUE(resizer.done());
    const Pixels out = resizer.take();
    const struct { std::uint8_t red, green, blue, alpha; } expected[] = {{191, 0, 64, 146}, {0, 0, 255, 219}};
    for (std::size_t x = 0; x < 2; ++x) {
        const std::uint8_t* p = &out.samples[x * 4];
        EXPECT_NEAR(p[0], expected[x].red, 1) << x;
        EXPECT_EQ(p[1], expected[x].green) << x;
        EXPECT_NEAR(p[2], expected[x].blue, 1) << x;
        EXPECT_NEAR(p[3], expected[x].alpha, 1) << x;
    }
}

}  // namespace
}  // namespace lumigal
