#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "magick_image.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "imaging/jpeg_markers.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

namespace fs = std::filesystem;

using test::readFile;

std::optional<ImageFormat> sniff(const std::string& bytes) {
    return sniffImageFormat(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 24-bit uncompressed bitmap made by hand, with or without the 14-byte
// file header (without it, it is a bare DIB).
std::string handMadeBitmap(std::uint32_t width, std::uint32_t height, bool fileHeader) {
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    std::string info;
    putLe(info, 40, 4);
    putLe(info, width, 4);
    putLe(info, height, 4);
    putLe(info, 1, 2);   // planes
    putLe(info, 24, 2);  // bits per pixel
    putLe(info, 0, 4);   // no compression
    putLe(info, rowBytes * height, 4);
    putLe(info, 2835, 4);
    putLe(info, 2835, 4);
    putLe(info, 0, 4);
    putLe(info, 0, 4);
    std::string pixels(std::size_t{rowBytes} * height, '\x7f');
    if (!fileHeader) return info + pixels;
    std::string header = "BM";
    putLe(header, static_cast<std::uint32_t>(14 + info.size() + pixels.size()), 4);
    putLe(header, 0, 4);
    putLe(header, static_cast<std::uint32_t>(14 + info.size()), 4);
    return header + info + pixels;
}

// `real` (a JPEG) claiming width x height, its data cut a few bytes after
// its first scan header; that scan keeps only its first component when
// `oneComponentScan`.
std::string lyingJpeg(const std::string& real, unsigned width, unsigned height,
                      bool oneComponentScan) {
    std::string out = real.substr(0, 2);
    for (std::size_t at = 2; at + 4 <= real.size();) {
        const auto marker = static_cast<unsigned char>(real[at + 1]);
        const std::size_t length =
            std::size_t{static_cast<unsigned char>(real[at + 2])} << 8 | static_cast<unsigned char>(real[at + 3]);
        std::string segment = real.substr(at, 2 + length);
        if (marker == 0xC0 || marker == 0xC2) {
            segment[5] = static_cast<char>(height >> 8);
            segment[6] = static_cast<char>(height & 0xFF);
            segment[7] = static_cast<char>(width >> 8);
            segment[8] = static_cast<char>(width & 0xFF);
        }
        if (marker == 0xDA) {
            if (oneComponentScan) {
                segment = std::string("\xff\xda\x00\x08\x01", 5) + real.substr(at + 5, 2) +
                          real.substr(at + 2 + length - 3, 3);
            }
            return out + segment + real.substr(at + 2 + length, 10);
        }
        out += segment;
        at += 2 + length;
    }
    return out;
}

// A valid grey PNG, written row by row (no image of that size in memory).
bool writeGreyPng(const std::string& path, unsigned width, unsigned height) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info && setjmp(png_jmpbuf(png)) == 0;
    if (ok) {
        png_init_io(png, file);
        png_set_compression_level(png, 1);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<png_byte> row(width);
        for (unsigned y = 0; y < height; ++y) {
            for (unsigned x = 0; x < width; ++x) row[x] = static_cast<png_byte>((x + y) / 64);
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

class ImageIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        startImageLibrary();
        dir = test::makeTempFolder(std::string("image_io_") +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::string dir;
};

struct FormatCase {
    const char* name;  // the extension decides the format written
    ImageFormat format;
};
const FormatCase kFormats[] = {
    {"a.bmp", ImageFormat::BMP},  {"a.dib", ImageFormat::DIB}, {"a.gif", ImageFormat::GIF},
    {"a.jpg", ImageFormat::JPEG}, {"a.png", ImageFormat::PNG}, {"a.xbm", ImageFormat::XBM},
};

TEST_F(ImageIoTest, EachFormatIsSniffedPingedAndDecoded) {
    for (const FormatCase& c : kFormats) {
        SCOPED_TRACE(c.name);
        const std::string file = path(c.name);
        ASSERT_TRUE(test::writeTestImage(file, 37, 23));
        EXPECT_EQ(sniff(readFile(file)), c.format);

        std::string error;
        const auto header = pingImageFile(file, error);
        ASSERT_TRUE(header) << error;
        EXPECT_EQ(header->width, 37u);
        EXPECT_EQ(header->height, 23u);
        EXPECT_EQ(header->fileSize, static_cast<std::int64_t>(fs::file_size(file)));
        EXPECT_EQ(header->format, c.format);

        ImagePtr image = readImageFirstFrame(file, error);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->columns, 37u);
        EXPECT_EQ(image->rows, 23u);
    }
}

TEST_F(ImageIoTest, SniffingLooksAtContentOnly) {
    const struct {
        const char* what;
        std::string bytes;
        std::optional<ImageFormat> expected;
    } cases[] = {
        {"empty", "", std::nullopt},
        {"one byte of a bitmap", "B", std::nullopt},
        {"GIF87a", "GIF87a\x01\x00", ImageFormat::GIF},
        {"GIF of another version", "GIF90a\x01\x00", std::nullopt},
        {"JPEG start of image", std::string("\xff\xd8\xff\xe0", 4), ImageFormat::JPEG},
        {"JPEG marker cut short", std::string("\xff\xd8", 2), std::nullopt},
        {"PNG signature cut short", std::string("\x89PNG\r\n", 6), std::nullopt},
        {"XBM after blanks and comments",
         "\n  /* made by hand */\n// and a line\n#define a_width 8\n", ImageFormat::XBM},
        {"XBM with an unclosed comment", "/* no end #define a_width 8\n", std::nullopt},
        {"C source", "#include <stdio.h>\n#define X 1\n", std::nullopt},
        {"SVG", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>",
         std::nullopt},
        {"MVG", "viewbox 0 0 10 10\nimage over 0,0 0,0 '/etc/passwd'\n", std::nullopt},
        {"PostScript", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 10 10\n", std::nullopt},
        {"HTML", "<!DOCTYPE html><html><body>x</body></html>", std::nullopt},
        {"bare DIB", handMadeBitmap(4, 3, false), ImageFormat::DIB},
        {"DIB with two planes",
         [] {
             std::string d = handMadeBitmap(4, 3, false);
             d[12] = 2;
             return d;
         }(),
         std::nullopt},
        {"DIB with 7 bits per pixel",
         [] {
             std::string d = handMadeBitmap(4, 3, false);
             d[14] = 7;
             return d;
         }(),
         std::nullopt},
        {"OS/2 core header (not decodable)", std::string("\x0c\0\0\0\x04\0\x03\0\x01\0\x18\0", 12),
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sniff(c.bytes), c.expected);
    }
    EXPECT_EQ(sniffImageFormat(nullptr, 0), std::nullopt);
}

TEST_F(ImageIoTest, OtherContentIsRefusedWhateverItsName) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"vector.jpg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>"},
        {"draw.png", "viewbox 0 0 10 10\nfill red\nrectangle 0,0 9,9\n"},
        {"doc.gif", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 10 10\nshowpage\n"},
        {"page.bmp", "<html><body><img src=x></body></html>"},
        {"text.xbm", "hello\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::writeBytes(path(c.name), c.bytes));
        std::string error;
        EXPECT_FALSE(pingImageFile(path(c.name), error));
        EXPECT_EQ(error, "format d'image non reconnu");
        error.clear();
        EXPECT_FALSE(readImageFirstFrame(path(c.name), error));
        EXPECT_EQ(error, "format d'image non reconnu");
    }
}

TEST_F(ImageIoTest, ContentDecidesTheFormatNotTheName) {
    ASSERT_TRUE(test::writeTestImage(path("real.png"), 12, 8));
    fs::rename(path("real.png"), path("named.jpg"));
    std::string error;
    const auto header = pingImageFile(path("named.jpg"), error);
    ASSERT_TRUE(header) << error;
    EXPECT_EQ(header->format, ImageFormat::PNG);
    EXPECT_TRUE(readImageFirstFrame(path("named.jpg"), error));
}

TEST_F(ImageIoTest, OnlyRegularFilesAreOpened) {
    // A FIFO without a writer would block a plain open; it must be refused at once.
    ASSERT_EQ(::mkfifo(path("pipe.jpg").c_str(), 0600), 0);
    fs::create_directory(path("folder.png"));
    // Sparse: refused on its size, before anything is read.
    { std::ofstream(path("huge.png")); }
    fs::resize_file(path("huge.png"), (std::uintmax_t{512} << 20) + 1);
    const struct {
        std::string file;
        const char* message;
    } cases[] = {
        {path("pipe.jpg"), "n'est pas un fichier ordinaire"},
        {"/dev/zero", "n'est pas un fichier ordinaire"},
        {path("folder.png"), "n'est pas un fichier ordinaire"},
        {path("missing.png"), "impossible d'ouvrir : fichier introuvable"},
        {path("huge.png"), "fichier trop gros"},
    };
    // The reason says why; the file is named once, by whoever shows it.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string error;
        EXPECT_FALSE(readImageFile(c.file, error));
        EXPECT_EQ(error, c.message);
        error.clear();
        EXPECT_FALSE(pingImageFile(c.file, error));
        EXPECT_EQ(error, c.message);
        error.clear();
        EXPECT_FALSE(readImageFirstFrame(c.file, error));
        EXPECT_EQ(error, c.message);
    }
}

TEST_F(ImageIoTest, ReadImageFileReturnsTheWholeFile) {
    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 + i / 7);
    ASSERT_TRUE(test::writeBytes(path("data.bin"), bytes));
    std::string error;
    const auto file = readImageFile(path("data.bin"), error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->size, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(std::string(file->data.begin(), file->data.end()), bytes);
}

TEST_F(ImageIoTest, EmptyAndTruncatedFilesAreUnreadable) {
    ASSERT_TRUE(test::writeTestImage(path("whole.png"), 64, 64));
    ASSERT_TRUE(test::writeTestImage(path("whole.gif"), 64, 64));
    const std::string png = readFile(path("whole.png"));
    const std::string gif = readFile(path("whole.gif"));
    ASSERT_TRUE(test::writeBytes(path("empty.png"), ""));
    ASSERT_TRUE(test::writeBytes(path("signature.png"), png.substr(0, 12)));
    ASSERT_TRUE(test::writeBytes(path("signature.gif"), gif.substr(0, 8)));
    const char* unreadable[] = {"empty.png", "signature.png", "signature.gif"};
    for (const char* name : unreadable) {
        SCOPED_TRACE(name);
        std::string error;
        EXPECT_FALSE(pingImageFile(path(name), error));
        EXPECT_FALSE(error.empty());
        error.clear();
        EXPECT_FALSE(readImageFirstFrame(path(name), error));
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    EXPECT_FALSE(readImageFirstFrame(path("empty.png"), error));
    EXPECT_NE(error.find("fichier vide"), std::string::npos) << error;

    // Cut inside the pixel data: the header still tells the size, but the
    // pixels cannot be decoded.
    ASSERT_TRUE(test::writeBytes(path("half.png"), png.substr(0, png.size() / 2)));
    error.clear();
    const auto header = pingImageFile(path("half.png"), error);
    ASSERT_TRUE(header) << error;
    EXPECT_EQ(header->width, 64u);
    error.clear();
    EXPECT_FALSE(readImageFirstFrame(path("half.png"), error));
    EXPECT_NE(error.find("illisible"), std::string::npos) << error;
}

TEST_F(ImageIoTest, PingTellsColourMapAndInterlace) {
    ASSERT_TRUE(test::writeTestImage(path("palette.gif"), 40, 30, false, 16));
    ASSERT_TRUE(test::writeTestImage(path("true.jpg"), 40, 30));
    ASSERT_TRUE(test::writeTestImage(path("progressive.jpg"), 40, 30, true));
    ASSERT_TRUE(test::writeTestImage(path("plain.png"), 40, 30));
    ASSERT_TRUE(test::writeTestImage(path("interlaced.png"), 40, 30, true));
    std::string error;
    const auto palette = pingImageFile(path("palette.gif"), error);
    const auto trueColour = pingImageFile(path("true.jpg"), error);
    const auto progressive = pingImageFile(path("progressive.jpg"), error);
    const auto plain = pingImageFile(path("plain.png"), error);
    const auto interlaced = pingImageFile(path("interlaced.png"), error);
    ASSERT_TRUE(palette && trueColour && progressive && plain && interlaced) << error;
    EXPECT_GT(palette->colors, 0u);
    EXPECT_LE(palette->colors, 256u);
    EXPECT_EQ(trueColour->colors, 0u);
    EXPECT_FALSE(trueColour->interlaced);
    EXPECT_TRUE(progressive->interlaced);
    EXPECT_FALSE(plain->interlaced);
    EXPECT_TRUE(interlaced->interlaced);
}

TEST_F(ImageIoTest, OnlyTheFirstFrameIsRead) {
    // A two-frame GIF: 30 x 20, then 10 x 10.
    ExceptionPtr exception(AcquireExceptionInfo());
    std::vector<unsigned char> pixels(30 * 20 * 3, 200);
    ImagePtr frames(ConstituteImage(30, 20, "RGB", CharPixel, pixels.data(), exception.get()));
    ASSERT_TRUE(frames);
    Image* second = ConstituteImage(10, 10, "RGB", CharPixel, pixels.data(), exception.get());
    ASSERT_TRUE(second);
    Image* list = frames.release();
    AppendImageToList(&list, second);
    frames.reset(list);
    ImageInfoPtr info(AcquireImageInfo());
    info->adjoin = MagickTrue;
    CopyMagickString(info->magick, "GIF", MaxTextExtent);
    std::size_t length = 0;
    void* blob = ImageToBlob(info.get(), frames.get(), &length, exception.get());
    ASSERT_TRUE(blob);
    ASSERT_TRUE(
        test::writeBytes(path("anim.gif"), std::string(static_cast<const char*>(blob), length)));
    RelinquishMagickMemory(blob);

    std::string error;
    ImagePtr image = readImageFirstFrame(path("anim.gif"), error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(GetImageListLength(image.get()), 1u);
    EXPECT_EQ(image->columns, 30u);
    EXPECT_EQ(image->rows, 20u);
}

TEST_F(ImageIoTest, SizeHintLetsJpegShrinkWhileLoading) {
    ASSERT_TRUE(test::writeTestImage(path("big.jpg"), 640, 480));
    std::string error;
    ImagePtr full = readImageFirstFrame(path("big.jpg"), error);
    ImagePtr shrunk = readImageFirstFrame(path("big.jpg"), error, "50x50");
    ASSERT_TRUE(full && shrunk) << error;
    EXPECT_EQ(full->columns, 640u);
    EXPECT_LT(shrunk->columns, 640u);
    EXPECT_GE(shrunk->columns, 50u);
    EXPECT_GE(shrunk->rows, 50u);
}

TEST_F(ImageIoTest, DimensionLimitsRefuseHugeImages) {
    // Made by hand, as ImageMagick itself refuses to make the big one here.
    ASSERT_TRUE(test::writeBytes(path("small.bmp"), handMadeBitmap(1000, 1, true)));
    ASSERT_TRUE(test::writeBytes(path("wide.bmp"), handMadeBitmap(20000, 1, true)));
    ASSERT_TRUE(test::writeBytes(path("tall.dib"), handMadeBitmap(1, 20000, false)));
    std::string error;
    ImagePtr small = readImageFirstFrame(path("small.bmp"), error);
    ASSERT_TRUE(small) << error;
    EXPECT_EQ(small->columns, 1000u);
    for (const char* name : {"wide.bmp", "tall.dib"}) {
        SCOPED_TRACE(name);
        error.clear();
        EXPECT_FALSE(readImageFirstFrame(path(name), error));
        EXPECT_NE(error.find("image trop grande"), std::string::npos) << error;
    }
}

TEST_F(ImageIoTest, PolicyAllowsOnlyTheImageFormats) {
    for (const char* coder :
         {"BMP", "DIB", "GIF", "JPEG", "PNG", "XBM", "WEBP", "HEIC", "AVIF", "TIFF"}) {
        EXPECT_TRUE(IsRightsAuthorized(CoderPolicyDomain, ReadPolicyRights, coder)) << coder;
        EXPECT_TRUE(IsRightsAuthorized(CoderPolicyDomain, WritePolicyRights, coder)) << coder;
    }
    for (const char* coder : {"SVG", "MVG", "PS", "TEXT", "MSL", "EPHEMERAL", "PTIF", "GROUP4", "PSD"}) {
        EXPECT_FALSE(IsRightsAuthorized(CoderPolicyDomain, ReadPolicyRights, coder)) << coder;
    }
    EXPECT_FALSE(IsRightsAuthorized(DelegatePolicyDomain, ExecutePolicyRights, "ps:alpha"));
    EXPECT_FALSE(IsRightsAuthorized(PathPolicyDomain, ReadPolicyRights, "@list.txt"));

    // Even asked for by name, a vector drawing is not decoded.
    const std::string mvg = "viewbox 0 0 10 10\nfill red\nrectangle 0,0 9,9\n";
    ImageInfoPtr info(AcquireImageInfo());
    CopyMagickString(info->magick, "MVG", MaxTextExtent);
    info->affirm = MagickTrue;
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr image(BlobToImage(info.get(), mvg.data(), mvg.size(), exception.get()));
    EXPECT_FALSE(image);

    EXPECT_LE(GetMagickResourceLimit(WidthResource), 16384u);
    EXPECT_LE(GetMagickResourceLimit(HeightResource), 16384u);
    EXPECT_LE(GetMagickResourceLimit(ListLengthResource), 256u);
}

TEST_F(ImageIoTest, LyingJpegsAreReadOrRefusedBeforeTheirMemoryIsTaken) {
    ASSERT_TRUE(test::writeTestImage(path("progressive.jpg"), 64, 64, true));
    ASSERT_TRUE(test::writeTestImage(path("baseline.jpg"), 64, 64, false));
    const std::string progressive = readFile(path("progressive.jpg"));
    const std::string baseline = readFile(path("baseline.jpg"));
    // Each claims 16000 x 16000 in a few hundred bytes. Decoded whole, the
    // first three would need the coefficients of the whole image (768 MB
    // or more) whatever the output scale.
    const struct {
        const char* what;
        std::string bytes;
        const char* hint;
        const char* refusal;  // nullptr: read
    } cases[] = {
        {"progressive, read from its DC coefficients", lyingJpeg(progressive, 16000, 16000, false),
         "150x150", nullptr},
        {"progressive, too large a thumbnail for the DC reading",
         lyingJpeg(progressive, 16000, 16000, false), "2200x2200", "image trop grande"},
        {"progressive, no hint", lyingJpeg(progressive, 16000, 16000, false), "", "image trop grande"},
        {"baseline, one component in its first scan", lyingJpeg(baseline, 16000, 16000, true),
         "150x150", "image trop grande"},
        {"baseline, interleaved", lyingJpeg(baseline, 16000, 16000, false), "150x150", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(test::writeBytes(path("lying.jpg"), c.bytes));
        std::string error;
        const auto header = pingImageFile(path("lying.jpg"), error);
        ASSERT_TRUE(header) << error;
        EXPECT_EQ(header->width, 16000u);
        EXPECT_EQ(header->height, 16000u);
        const ImagePtr image = readImageFirstFrame(path("lying.jpg"), error, c.hint);
        if (c.refusal) {
            EXPECT_FALSE(image);
            EXPECT_EQ(error, c.refusal);
        } else {
            ASSERT_TRUE(image) << error;
            EXPECT_EQ(image->columns, 2000u);
        }
    }
}

TEST_F(ImageIoTest, ImagesUpToTheLimitsAreReadWhateverTheSystemPolicy) {
    // 64 megapixels with a colour map: 640 MB of pixel cache on disk, over
    // the area and disk caps of the system's policy.
    ASSERT_TRUE(writeGreyPng(path("grey.png"), 8000, 8000));
    std::string error;
    const ImagePtr image = readImageFirstFrame(path("grey.png"), error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->columns, 8000u);
    EXPECT_EQ(image->rows, 8000u);
    EXPECT_EQ(GetMagickResourceLimit(AreaResource), MagickSizeType{256} << 20);
    EXPECT_EQ(GetMagickResourceLimit(DiskResource), MagickSizeType{6} << 30);
    EXPECT_EQ(GetMagickResourceLimit(MemoryResource), MagickSizeType{128} << 20);
    EXPECT_EQ(GetMaxMemoryRequest(), std::size_t{192} << 20);
}

}  // namespace
}  // namespace lumigal
