// A photo's metadata as the page reads them, and its location removed from
// a copy at its own size; the tags are written by exiftool.
#include "imaging/photo_metadata.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "imaging/location_strip.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

using Bytes = std::vector<std::uint8_t>;

class PhotoMetadataTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { startImageLibrary(); }
    void SetUp() override {
        if (std::system("exiftool -ver >/dev/null 2>&1") != 0) GTEST_SKIP() << "exiftool is missing";
    }
    std::string folder_ = test::makeTempFolder(std::string("photo_metadata_") +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());

    // A 64 x 48 image named `name`, tagged by exiftool with `tags`.
    Bytes tagged(const std::string& name, const std::string& tags) const {
        const std::string path = folder_ + "/" + name;
        EXPECT_TRUE(test::writeTestImage(path, 64, 48));
        const std::string command = "exiftool -q -q -overwrite_original " + tags + " '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(PhotoMetadataTest, CaptionsComeInTheirOrderFromEveryFormat) {
    struct Case {
        const char* name;
        const char* tags;
        const char* caption;
    };
    const Case cases[] = {
        {"all.jpg", "-XMP-dc:Description='Le port' -IPTC:Caption-Abstract=Iptc -ImageDescription=Exif", "Le port"},
        {"lang.jpg", "'-XMP-dc:Description-en=The harbour' '-XMP-dc:Description=Le port'", "Le port"},
        {"iptc.jpg", "-IPTC:Caption-Abstract='Une légende' -ImageDescription=Exif -charset iptc=UTF8", "Une légende"},
        {"exif.jpg", "'-ImageDescription=Coucher de soleil' '-UserComment=Commentaire'", "Coucher de soleil"},
        {"comment.jpg", "'-UserComment=Commentaire seul'", "Commentaire seul"},
        {"x.png", "'-XMP-dc:Description=Les champs'", "Les champs"},
        {"exif.png", "'-ImageDescription=Dans eXIf'", "Dans eXIf"},
        {"x.webp", "'-XMP-dc:Description=En WebP'", "En WebP"},
        {"x.tif", "'-ImageDescription=Une page'", "Une page"},
        {"none.jpg", "-Artist=Moi", ""},
    };
    for (const Case& c : cases) {
        const Bytes data = tagged(c.name, c.tags);
        EXPECT_EQ(readPhotoMetadata(data.data(), data.size()).caption, c.caption) << c.name;
    }
}

TEST_F(PhotoMetadataTest, CaptureTimeAndCameraSettings) {
    struct Case {
        const char* name;
        const char* tags;
        const char* time;
        const char* offset;
    };
    const Case cases[] = {
        {"original.jpg",
         "'-DateTimeOriginal=2024:07:14 21:30:05' -OffsetTimeOriginal=+02:00 "
         "'-CreateDate=2020:01:01 00:00:00'",
         "2024-07-14T21:30:05", "+02:00"},
        {"digitized.jpg", "'-CreateDate=2021:03:04 05:06:07'", "2021-03-04T05:06:07", ""},
        {"xmp.png", "'-XMP-xmp:CreateDate=2019-12-31T23:59:58+01:00'", "2019-12-31T23:59:58", "+01:00"},
        {"damaged.jpg", "'-DateTimeOriginal#=hier soir'", "", ""},
    };
    for (const Case& c : cases) {
        const Bytes data = tagged(c.name, c.tags);
        const PhotoMetadata m = readPhotoMetadata(data.data(), data.size());
        EXPECT_EQ(m.captureTime, c.time) << c.name;
        EXPECT_EQ(m.captureOffset, c.offset) << c.name;
    }
    const Bytes data = tagged("camera.jpg",
                              "-Make=Fabricant -Model='Boîtier 7' '-LensModel=Zoom 24-70' -FocalLength=35 "
                              "-FNumber=2.8 -ExposureTime=0.004 -ISO=400");
    const PhotoMetadata m = readPhotoMetadata(data.data(), data.size());
    EXPECT_EQ(m.make, "Fabricant");
    EXPECT_EQ(m.model, "Boîtier 7");
    EXPECT_EQ(m.lens, "Zoom 24-70");
    EXPECT_DOUBLE_EQ(m.focalLength, 35);
    EXPECT_DOUBLE_EQ(m.aperture, 2.8);
    EXPECT_EQ(m.exposureTime, "1/250");
    EXPECT_EQ(m.iso, 400u);
}

TEST_F(PhotoMetadataTest, DamagedDataGiveNothingAndNeverStop) {
    Bytes data = tagged("cut.jpg", "'-ImageDescription=Coupée' -GPSLatitude=43 -GPSLatitudeRef=N");
    // Every cut of the file, and the EXIF block scribbled over.
    for (std::size_t size = 0; size < data.size(); size += 97) {
        (void)readPhotoMetadata(data.data(), size);
        std::string error;
        (void)stripLocation(data.data(), size, error);
    }
    for (std::size_t at = 20; at < 400 && at < data.size(); at += 7) data[at] = 0xFF;
    const PhotoMetadata m = readPhotoMetadata(data.data(), data.size());
    EXPECT_LE(m.caption.size(), kMaxCaptionBytes);
    EXPECT_TRUE(readPhotoMetadata(nullptr, 0).caption.empty());
}

TEST_F(PhotoMetadataTest, LocationIsRemovedAndNothingElse) {
    struct Case {
        const char* name;
        const char* tags;
        std::size_t removedAtLeast;
    };
    const Case cases[] = {
        {"gps.jpg", "-GPSLatitude=43.7 -GPSLatitudeRef=N -GPSLongitude=7.2 -GPSLongitudeRef=E", 5},
        {"xmp.jpg", "-XMP:GPSLatitude=43.7 -XMP:GPSLongitude=7.2 -XMP-photoshop:City=Nice", 3},
        {"iptc.jpg", "-IPTC:City=Nice -IPTC:Country-PrimaryLocationName=France", 2},
        {"gps.png", "-GPSLatitude=43.7 -GPSLatitudeRef=N", 3},
        {"gps.webp", "-GPSLatitude=43.7 -GPSLatitudeRef=N", 3},
        {"none.jpg", "-Artist=Moi", 0},
    };
    for (const Case& c : cases) {
        const std::string tags = std::string(c.tags) + " '-ImageDescription=Reste là'";
        const Bytes data = tagged(c.name, tags);
        std::string error;
        const auto stripped = stripLocation(data.data(), data.size(), error);
        ASSERT_TRUE(stripped) << c.name << ": " << error;
        EXPECT_GE(stripped->removed, c.removedAtLeast) << c.name;
        if (c.removedAtLeast == 0) {
            EXPECT_EQ(stripped->removed, 0u);
            EXPECT_EQ(stripped->bytes, data) << c.name;
            continue;
        }
        EXPECT_NE(stripped->bytes, data) << c.name;
        const auto again = stripLocation(stripped->bytes.data(), stripped->bytes.size(), error);
        ASSERT_TRUE(again) << c.name;
        EXPECT_EQ(again->removed, 0u) << c.name << ": a location is left";
        EXPECT_EQ(readPhotoMetadata(stripped->bytes.data(), stripped->bytes.size()).caption, "Reste là") << c.name;
        std::string decodeError;
        const std::string copy = folder_ + "/copy-" + c.name;
        ASSERT_TRUE(test::writeBytes(copy, std::string(stripped->bytes.begin(), stripped->bytes.end())));
        EXPECT_TRUE(pingImageFile(copy, decodeError)) << c.name << ": " << decodeError;
    }
}

// Each segment of the JPEG header (up to the first scan) whose marker is
// `marker` given twice.
Bytes withSegmentsTwice(const Bytes& jpeg, std::uint8_t marker) {
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at + 1] != 0xDA) {
        const std::size_t end = at + 2 + (std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
        for (int copies = jpeg[at + 1] == marker ? 2 : 1; copies > 0; --copies) {
            out.insert(out.end(), jpeg.begin() + static_cast<long>(at), jpeg.begin() + static_cast<long>(end));
        }
        at = end;
    }
    out.insert(out.end(), jpeg.begin() + static_cast<long>(at), jpeg.end());
    return out;
}

TEST_F(PhotoMetadataTest, ABlockGivenTwiceLosesItsPlaceInBoth) {
    Bytes data = tagged("twice.jpg", "-GPSLatitude=43.7 -GPSLatitudeRef=N -XMP:GPSLongitude=7.2");
    data = withSegmentsTwice(data, 0xE1);  // the EXIF and the XMP segments
    std::string error;
    const auto stripped = stripLocation(data.data(), data.size(), error);
    ASSERT_TRUE(stripped) << error;
    const std::string copy = folder_ + "/copy-twice.jpg";
    ASSERT_TRUE(test::writeBytes(copy, std::string(stripped->bytes.begin(), stripped->bytes.end())));
    const std::string command = "exiftool -q -q -a -gps:all -City '" + copy + "'";
    FILE* found = ::popen(command.c_str(), "r");
    ASSERT_NE(found, nullptr);
    char line[256];
    std::string left;
    while (std::fgets(line, sizeof line, found)) left += line;
    ::pclose(found);
    EXPECT_EQ(left, "");
}

}  // namespace
}  // namespace lumigal
