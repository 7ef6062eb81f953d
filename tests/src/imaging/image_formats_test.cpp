// WebP, HEIC, AVIF and TIFF: the same reading as the six older formats.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "album/detail_block.h"
#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "imaging/thumbnail.h"
#include "magick_image.h"
#include "corner_marks.h"
#include "image_formats_fixture.h"
#include "reduced_read.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

using test::readFile;

const std::uint8_t* bytesOf(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

std::optional<ImageFormat> sniff(const std::string& bytes) {
    return sniffImageFormat(bytesOf(bytes), bytes.size());
}

std::string be32(std::uint32_t v) {
    return {char(v >> 24), char(v >> 16 & 0xFF), char(v >> 8 & 0xFF), char(v & 0xFF)};
}
std::uint32_t readBe(const std::string& s, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}
void writeBe(std::string& s, std::size_t at, int n, std::uint32_t v) {
    for (int i = n - 1; i >= 0; --i, v >>= 8) s[at + i] = static_cast<char>(v & 0xFF);
}

std::string ftyp(const std::string& major, const std::vector<std::string>& compatible) {
    std::string box = "ftyp" + major + std::string(4, '\0');
    for (const std::string& b : compatible) box += b;
    return be32(static_cast<std::uint32_t>(box.size() + 4)) + box + std::string(16, '\0');
}

TEST(ImageFormats, TheContentNamesTheFormat) {
    const struct {
        const char* what;
        std::string bytes;
        std::optional<ImageFormat> format;
    } cases[] = {
        {"WebP", "RIFF" + le32(4) + "WEBPVP8 ", ImageFormat::WEBP},
        {"other RIFF", "RIFF" + le32(4) + "WAVEfmt ", std::nullopt},
        {"TIFF, Intel", std::string("II*\0\x08\0\0\0", 8), ImageFormat::TIFF},
        {"TIFF, Motorola", std::string("MM\0*\0\0\0\x08", 8), ImageFormat::TIFF},
        {"big TIFF", std::string("II+\0\x08\0\0\0", 8), ImageFormat::TIFF},
        {"not TIFF", std::string("II*\x01\x08\0\0\0", 8), std::nullopt},
        {"HEIC", ftyp("heic", {"mif1", "heic"}), ImageFormat::HEIC},
        {"HEIF, codec among the compatible brands", ftyp("mif1", {"mif1", "heic"}), ImageFormat::HEIC},
        {"HEIF, no codec named", ftyp("mif1", {"mif1"}), ImageFormat::HEIC},
        {"AVIF", ftyp("avif", {"mif1", "miaf"}), ImageFormat::AVIF},
        {"AVIF among the compatible brands", ftyp("mif1", {"miaf", "avif"}), ImageFormat::AVIF},
        {"MP4 video", ftyp("isom", {"isom", "mp41"}), std::nullopt},
        {"cut ftyp", ftyp("heic", {}).substr(0, 10), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sniff(c.bytes), c.format);
    }
}

using test::BL;
using test::BR;
using test::Corner;
using test::markedCorners;
using test::TL;
using test::TR;

// The TIFF data of the EXIF segment that withExifOrientation puts in a JPEG.
std::string exifTiff(int orientation) {
    const std::string jpeg = test::withExifOrientation(std::string("\xff\xd8\xff\xd9", 4),
                                                       orientation, false);
    const std::size_t length = readBe(jpeg, 4, 2);
    return jpeg.substr(2 + 2 + 2 + 6, length - 2 - 6);
}

// A simple WebP (one image chunk) in the extended layout, with an EXIF chunk
// that holds `orientation`.
std::string webpWithOrientation(const std::string& webp, unsigned width, unsigned height,
                                int orientation) {
    const std::string image = webp.substr(12);
    std::string vp8x = "VP8X" + le32(10);
    vp8x += '\x08';  // EXIF present
    vp8x += std::string(3, '\0');
    vp8x += le32(width - 1).substr(0, 3) + le32(height - 1).substr(0, 3);
    std::string exif = exifTiff(orientation);
    std::string chunk = "EXIF" + le32(static_cast<std::uint32_t>(exif.size())) + exif;
    if (exif.size() % 2) chunk += '\0';
    const std::string body = "WEBP" + vp8x + image + chunk;
    return "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body;
}

// A HEIF file with an "irot" property (quarter turns anticlockwise) added to
// its primary item: the boxes that hold it grow, and the data offsets past
// them move by as much.
std::string heifWithRotation(std::string heif, int quarterTurns) {
    struct Box {
        std::size_t at, size, body;
    };
    const auto find = [&](std::size_t from, std::size_t end, const char* type) -> std::optional<Box> {
        for (std::size_t at = from; at + 8 <= end;) {
            const std::size_t size = readBe(heif, at, 4);
            if (size < 8) return std::nullopt;
            if (heif.compare(at + 4, 4, type) == 0) return Box{at, size, at + 8};
            at += size;
        }
        return std::nullopt;
    };
    const auto meta = find(0, heif.size(), "meta");
    if (!meta) return {};
    const std::size_t metaBody = meta->body + 4;  // a full box
    const std::size_t metaEnd = meta->at + meta->size;
    const auto pitm = find(metaBody, metaEnd, "pitm");
    const auto iprp = find(metaBody, metaEnd, "iprp");
    const auto iloc = find(metaBody, metaEnd, "iloc");
    if (!pitm || !iprp || !iloc) return {};
    const std::uint32_t primary = readBe(heif, pitm->body + 4, heif[pitm->body] == 0 ? 2 : 4);
    const auto ipco = find(iprp->body, iprp->at + iprp->size, "ipco");
    const auto ipma = find(iprp->body, iprp->at + iprp->size, "ipma");
    if (!ipco || !ipma || ipma->at < ipco->at) return {};
    unsigned properties = 0;
    for (std::size_t at = ipco->body; at < ipco->at + ipco->size; at += readBe(heif, at, 4)) {
        ++properties;
    }
    const int version = heif[ipma->body];
    const bool wide = (readBe(heif, ipma->body + 1, 3) & 1) != 0;
    const std::uint32_t entries = readBe(heif, ipma->body + 4, 4);
    std::size_t at = ipma->body + 8;
    std::size_t inserted = 0;
    std::string association;
    for (std::uint32_t e = 0; e < entries; ++e) {
        const int idBytes = version < 1 ? 2 : 4;
        const std::uint32_t id = readBe(heif, at, idBytes);
        at += idBytes;
        const unsigned count = static_cast<unsigned char>(heif[at]);
        if (id == primary) {
            heif[at] = static_cast<char>(count + 1);
            association = wide ? std::string{char(0x80 | ((properties + 1) >> 8)),
                                             char((properties + 1) & 0xFF)}
                               : std::string{char(0x80 | (properties + 1))};
            inserted = at + 1 + count * (wide ? 2 : 1);
        }
        at += 1 + count * (wide ? 2 : 1);
    }
    if (association.empty()) return {};
    const std::string irot = be32(9) + "irot" + std::string(1, char(quarterTurns & 3));
    const std::size_t grow = irot.size() + association.size();
    // iloc offsets into the file past the meta box move.
    const int ilocVersion = heif[iloc->body];
    const int offsetSize = static_cast<unsigned char>(heif[iloc->body + 4]) >> 4;
    const int lengthSize = heif[iloc->body + 4] & 0x0F;
    const int baseSize = static_cast<unsigned char>(heif[iloc->body + 5]) >> 4;
    const int indexSize = ilocVersion >= 1 ? heif[iloc->body + 5] & 0x0F : 0;
    std::size_t p = iloc->body + 6;
    const std::uint32_t items = readBe(heif, p, ilocVersion < 2 ? 2 : 4);
    p += ilocVersion < 2 ? 2 : 4;
    for (std::uint32_t i = 0; i < items; ++i) {
        p += ilocVersion < 2 ? 2 : 4;
        int method = 0;
        if (ilocVersion >= 1) method = static_cast<int>(readBe(heif, p, 2) & 0x0F), p += 2;
        p += 2;  // data reference index
        const std::size_t base = p;
        const std::uint32_t baseOffset = baseSize ? readBe(heif, p, baseSize) : 0;
        p += baseSize;
        const std::uint32_t extents = readBe(heif, p, 2);
        p += 2;
        bool moved = false;
        if (method == 0 && baseSize && baseOffset >= metaEnd) {
            writeBe(heif, base, baseSize, static_cast<std::uint32_t>(baseOffset + grow));
            moved = true;
        }
        for (std::uint32_t x = 0; x < extents; ++x) {
            p += indexSize;
            const std::uint32_t offset = readBe(heif, p, offsetSize);
            if (method == 0 && !moved && offset >= metaEnd) {
                writeBe(heif, p, offsetSize, static_cast<std::uint32_t>(offset + grow));
            }
            p += offsetSize + lengthSize;
        }
    }
    heif.insert(inserted, association);
    writeBe(heif, ipma->at, 4, static_cast<std::uint32_t>(ipma->size + association.size()));
    heif.insert(ipco->at + ipco->size, irot);
    writeBe(heif, ipco->at, 4, static_cast<std::uint32_t>(ipco->size + irot.size()));
    writeBe(heif, iprp->at, 4, static_cast<std::uint32_t>(iprp->size + grow));
    writeBe(heif, meta->at, 4, static_cast<std::uint32_t>(meta->size + grow));
    return heif;
}

struct NewFormat {
    const char* ext;
    ImageFormat format;
    const char* sameFormatThumbnail;  // its name in "same format" mode
    ImageFormat thumbnailFormat;
};
const NewFormat kNewFormats[] = {
    {".webp", ImageFormat::WEBP, "t.webp", ImageFormat::WEBP},
    {".heic", ImageFormat::HEIC, "t.jpg", ImageFormat::JPEG},
    {".avif", ImageFormat::AVIF, "t.avif", ImageFormat::AVIF},
    {".tif", ImageFormat::TIFF, "t.jpg", ImageFormat::JPEG},
};

TEST_F(ImageFormatsTest, DetailsAndThumbnailsOfEachFormat) {
    for (const NewFormat& f : kNewFormats) {
        SCOPED_TRACE(f.ext);
        const std::string source = path(std::string("t") + f.ext);
        ASSERT_TRUE(test::writeTestImage(source, 64, 48));
        std::string error;
        const auto header = pingImageFile(source, error);
        ASSERT_TRUE(header) << error;
        EXPECT_EQ(header->format, f.format);
        ImageDetails details;
        ASSERT_EQ(ReadImageDetails(source, details, error), 0) << error;
        EXPECT_EQ(details.width, 64u);
        EXPECT_EQ(details.height, 48u);
        EXPECT_EQ(details.coloursText, "16 millions");
        EXPECT_EQ(details.modeText, "non entrelac&eacute;");

        // "Same format": what browsers cannot show becomes a JPEG.
        const ThumbnailNames names = thumbnailFileName(source, dir, true, 0);
        EXPECT_EQ(names.page, path(f.sameFormatThumbnail));
        ASSERT_EQ(MakeThumbnail(pageArgs(source, names.maker), {30, 20}, &error), kThumbnailWritten)
            << error;
        const auto thumbnail = pingImageFile(names.page, error);
        ASSERT_TRUE(thumbnail) << error;
        EXPECT_EQ(thumbnail->format, f.thumbnailFormat);
        EXPECT_EQ(thumbnail->width, 30u);
        EXPECT_EQ(thumbnail->height, 20u);
        // A name of no format: the source's own, as browsers show it.
        ASSERT_EQ(MakeThumbnail(pageArgs(source, path("t.thumb")), {30, 20}, &error),
                  kThumbnailWritten)
            << error;
        const auto unnamed = pingImageFile(path("t.thumb"), error);
        ASSERT_TRUE(unnamed) << error;
        EXPECT_TRUE(browserShows(unnamed->format));
    }
}

TEST_F(ImageFormatsTest, ColourMapsAndPlanesOfTiff) {
    ASSERT_TRUE(test::writeTestImage(path("map.tif"), 64, 48, false, 16));
    ASSERT_TRUE(test::writeTestImage(path("planes.tif"), 64, 48, true));
    std::string error;
    ImageDetails details;
    ASSERT_EQ(ReadImageDetails(path("map.tif"), details, error), 0) << error;
    EXPECT_NE(details.coloursText, "16 millions");
    // Separate colour planes are no interlace for the one who looks.
    ASSERT_EQ(ReadImageDetails(path("planes.tif"), details, error), 0) << error;
    EXPECT_EQ(details.modeText, "non entrelac&eacute;");
}

TEST_F(ImageFormatsTest, DamagedFilesAreNamedNotDecoded) {
    for (const NewFormat& f : kNewFormats) {
        ASSERT_TRUE(test::writeTestImage(path(std::string("good") + f.ext), 96, 64));
        const std::string good = readFile(path(std::string("good") + f.ext));
        const struct {
            const char* what;
            std::string bytes;
        } damages[] = {
            {"cut in half", good.substr(0, good.size() / 2)},
            {"cut after its signature", good.substr(0, 16)},
            {"garbage after its header", good.substr(0, good.size() / 3) +
                                             std::string(good.size(), '\x5a')},
        };
        for (const auto& d : damages) {
            SCOPED_TRACE(std::string(f.ext) + ", " + d.what);
            const std::string file = path(std::string("bad") + f.ext);
            ASSERT_TRUE(test::writeBytes(file, d.bytes));
            std::string error;
            const int made = MakeThumbnail(pageArgs(file, path("t.bmp")), {30, 20}, &error);
            if (made == kThumbnailWritten) continue;  // what survives may still be shown
            EXPECT_EQ(made, kThumbnailNotMade);
            EXPECT_TRUE(error == "image illisible ou endommagée" ||
                        error == "format d'image non reconnu" || error == "image trop grande")
                << error;
        }
    }
}

// A lossless WebP whose header claims `width` x `height`.
std::string webpClaiming(std::string webp, unsigned width, unsigned height) {
    const std::size_t vp8l = webp.find("VP8L");
    if (vp8l == std::string::npos) return {};
    const std::size_t bits = vp8l + 9;  // after the chunk header and the signature byte
    std::uint32_t v = static_cast<unsigned char>(webp[bits]) |
                      static_cast<unsigned char>(webp[bits + 1]) << 8 |
                      static_cast<unsigned char>(webp[bits + 2]) << 16 |
                      std::uint32_t(static_cast<unsigned char>(webp[bits + 3])) << 24;
    v = (v & ~0x0FFFFFFFu) | (width - 1) | (height - 1) << 14;
    for (int i = 0; i < 4; ++i) webp[bits + i] = static_cast<char>(v >> (8 * i) & 0xFF);
    return webp;
}

TEST_F(ImageFormatsTest, CodecMemoryIsBoundedBeforeDecoding) {
    // Lossless: the header holds the size in its first bits.
    ImageInfoPtr info(AcquireImageInfo());
    ExceptionPtr exception(AcquireExceptionInfo());
    std::vector<unsigned char> rgb(16 * 16 * 3, 100);
    ImagePtr image(ConstituteImage(16, 16, "RGB", CharPixel, rgb.data(), exception.get()));
    ASSERT_TRUE(image);
    CopyMagickString(info->magick, "WEBP", MaxTextExtent);
    SetImageOption(info.get(), "webp:lossless", "true");
    std::size_t length = 0;
    void* blob = ImageToBlob(info.get(), image.get(), &length, exception.get());
    ASSERT_TRUE(blob);
    const std::string small(static_cast<const char*>(blob), length);
    RelinquishMagickMemory(blob);
    const std::string large = webpClaiming(small, 16000, 16000);
    ASSERT_FALSE(large.empty());
    ASSERT_TRUE(test::writeBytes(path("large.webp"), large));
    std::string error;
    const auto header = pingImageFile(path("large.webp"), error);
    ASSERT_TRUE(header) << error;
    EXPECT_EQ(header->width, 16000u);
    EXPECT_EQ(MakeThumbnail(pageArgs(path("large.webp"), path("t.bmp")), {30, 20}, &error),
              kThumbnailNotMade);
    EXPECT_EQ(error, "image trop grande");
}

// Where the stored top-left (red) and top-right (green) corners are shown.
struct Orientation {
    int exif;
    const char* corners;  // TL TR BL BR
};
const Orientation kOrientations[] = {
    {1, "rg--"}, {2, "gr--"}, {3, "--gr"}, {4, "--rg"},
    {5, "r-g-"}, {6, "-r-g"}, {7, "-g-r"}, {8, "g-r-"},
};

// Checks the size shown, the upright decode and the thumbnail (both the
// early reduction and the whole read) of an image stored 96 x 64.
void expectShown(const std::string& file, const std::string& thumbnail, bool turned,
                 const char* expected) {
    std::string error;
    const unsigned w = turned ? 64 : 96, h = turned ? 96 : 64;
    ImageDetails details;
    ASSERT_EQ(ReadImageDetails(file, details, error), 0) << error;
    EXPECT_EQ(details.width, w);
    EXPECT_EQ(details.height, h);
    const ImagePtr upright = readImageFirstFrame(file, error);
    ASSERT_TRUE(upright) << error;
    EXPECT_EQ(upright->columns, w);
    EXPECT_EQ(corners(*upright), expected) << "decoded, corners TL TR BL BR";
    for (const ThumbnailSize size : {ThumbnailSize{24, 24}, ThumbnailSize{4, 4}}) {
        ASSERT_EQ(MakeThumbnail({"Lumigal", "-contrast", file, thumbnail}, size, &error),
                  kThumbnailWritten)
            << error;
        const ImagePtr made = readImageFirstFrame(thumbnail, error);
        ASSERT_TRUE(made) << error;
        if (size.width >= 24) {
            EXPECT_EQ(corners(*made), expected) << "thumbnail";
        }
    }
}

TEST_F(ImageFormatsTest, ExifOrientationOfWebpAndTiff) {
    const std::vector<unsigned char> rgb = markedCorners(96, 64);
    ASSERT_TRUE(test::writeTestImage(path("plain.webp"), 96, 64, rgb));
    const std::string webp = readFile(path("plain.webp"));
    ExceptionPtr exception(AcquireExceptionInfo());
    for (const Orientation& o : kOrientations) {
        SCOPED_TRACE(o.exif);
        const std::string file = path("o.webp");
        ASSERT_TRUE(test::writeBytes(file, webpWithOrientation(webp, 96, 64, o.exif)));
        expectShown(file, path("t.bmp"), o.exif >= 5, o.corners);

        // TIFF: the Orientation tag of its first directory.
        ImagePtr image(ConstituteImage(96, 64, "RGB", CharPixel, rgb.data(), exception.get()));
        ASSERT_TRUE(image);
        image->orientation = static_cast<OrientationType>(o.exif);
        ImageInfoPtr info(AcquireImageInfo());
        CopyMagickString(info->magick, "TIFF", MaxTextExtent);
        std::size_t length = 0;
        void* blob = ImageToBlob(info.get(), image.get(), &length, exception.get());
        ASSERT_TRUE(blob);
        ASSERT_TRUE(test::writeBytes(path("o.tif"), std::string(static_cast<char*>(blob), length)));
        RelinquishMagickMemory(blob);
        expectShown(path("o.tif"), path("t.png"), o.exif >= 5, o.corners);
    }
}

TEST_F(ImageFormatsTest, HeifTransformationsTurnTheImageOnce) {
    const std::vector<unsigned char> rgb = markedCorners(96, 64);
    // irot counts quarter turns anticlockwise: 1 is EXIF 8, 2 is 3, 3 is 6.
    const struct {
        int quarterTurns;
        const char* corners;
    } turns[] = {{0, "rg--"}, {1, "g-r-"}, {2, "--gr"}, {3, "-r-g"}};
    for (const char* ext : {".heic", ".avif"}) {
        ASSERT_TRUE(test::writeTestImage(path(std::string("plain") + ext), 96, 64, rgb));
        const std::string plain = readFile(path(std::string("plain") + ext));
        for (const auto& t : turns) {
            SCOPED_TRACE(std::string(ext) + " " + std::to_string(t.quarterTurns));
            const std::string turned = heifWithRotation(plain, t.quarterTurns);
            ASSERT_FALSE(turned.empty());
            const std::string file = path(std::string("o") + ext);
            ASSERT_TRUE(test::writeBytes(file, turned));
            expectShown(file, path("t.jpg"), t.quarterTurns % 2 == 1, t.corners);
        }
    }
}

}  // namespace
}  // namespace lumigal
