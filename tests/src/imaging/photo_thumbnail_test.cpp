// The photo thumbnails of modern pages: the source's tones kept where the
// classic recipe stretches them, a web quality, and a 2x made beside the 1x
// (never enlarged, upright like it).
#include <gtest/gtest.h>

#include <lcms2.h>

#include <cmath>
#include <cstdlib>
#include <optional>

#include "imaging/image_io.h"
#include "imaging/thumbnail.h"
#include "magick_image.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

// A grey gradient from `low` to `high`, left to right.
std::vector<unsigned char> greyRamp(unsigned width, unsigned height, int low, int high) {
    std::vector<unsigned char> rgb;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            const auto v = static_cast<unsigned char>(low + (high - low) * int(x) / int(width - 1));
            rgb.insert(rgb.end(), {v, v, v});
        }
    }
    return rgb;
}

struct Decoded {
    std::size_t width = 0, height = 0;
    double spread = 0;    // standard deviation of the grey levels, 0 to 255
    std::size_t quality = 0;  // the JPEG decoder's estimate
};

Decoded decode(const std::vector<std::uint8_t>& bytes, const std::string& path) {
    EXPECT_TRUE(test::writeBytes(path, std::string(bytes.begin(), bytes.end())));
    std::string error;
    const ImagePtr image = readImageFirstFrame(path, error);
    if (!image) {
        ADD_FAILURE() << error;
        return {};
    }
    ExceptionPtr exception(AcquireExceptionInfo());
    double mean = 0, deviation = 0;
    GetImageChannelMean(image.get(), RedChannel, &mean, &deviation, exception.get());
    return {image->columns, image->rows, deviation * 255.0 / QuantumRange, image->quality};
}

class PhotoThumbnailTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::makeTempFolder(std::string("photo_thumbnail_") +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::string dir;
};

TEST_F(PhotoThumbnailTest, KeepsTheTonesAtAWebQualityWhereTheClassicRecipeStretchesThem) {
    const unsigned w = 400, h = 300;
    ASSERT_TRUE(test::writeTestImage(path("flat.png"), w, h, greyRamp(w, h, 100, 150)));
    std::string error;
    const ImagePtr source = readImageFirstFrame(path("flat.png"), error);
    ASSERT_TRUE(source) << error;
    ExceptionPtr exception(AcquireExceptionInfo());
    double mean = 0, sourceSpread = 0;
    GetImageChannelMean(source.get(), RedChannel, &mean, &sourceSpread, exception.get());
    sourceSpread *= 255.0 / QuantumRange;

    PhotoThumbnailRequest photo;
    photo.source = path("flat.png");
    photo.output = "JPEG:" + path("photo.jpg");
    photo.size = {100, 75};
    PhotoThumbnails made;
    ASSERT_EQ(RenderPhotoThumbnails(photo, made, &error), kThumbnailWritten) << error;
    EncodedThumbnail classic;
    ASSERT_EQ(RenderThumbnail({"Lumigal", "-quality", "99", "-contrast", path("flat.png"),
                               "JPEG:" + path("classic.jpg")},
                              {100, 75}, classic, &error),
              kThumbnailWritten)
        << error;
    const struct {
        const char* what;
        Decoded got;
        double minRatio, maxRatio;  // spread against the source's
        std::size_t quality;
    } cases[] = {
        {"photo", decode(made.one.bytes, path("photo.jpg")), 0.9, 1.1, kPhotoThumbnailQuality},
        {"classic", decode(classic.bytes, path("classic.jpg")), 1.3, 100, 99},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.got.width, 100u);
        EXPECT_EQ(c.got.height, 75u);
        EXPECT_GE(c.got.spread / sourceSpread, c.minRatio) << c.got.spread << " / " << sourceSpread;
        EXPECT_LE(c.got.spread / sourceSpread, c.maxRatio) << c.got.spread << " / " << sourceSpread;
        EXPECT_EQ(c.got.quality, c.quality);
    }
    EXPECT_FALSE(made.twice) << "no 2x was asked for";
}

TEST_F(PhotoThumbnailTest, TheTwoXIsTwiceTheSizeUprightAndNeverEnlarged) {
    const struct {
        const char* what;
        unsigned width, height;
        int orientation;  // EXIF, 1: none
        ThumbnailSize size;
        std::optional<ThumbnailSize> twice;
    } cases[] = {
        {"large", 900, 600, 1, {120, 80}, ThumbnailSize{240, 160}},
        {"just large enough", 240, 160, 1, {120, 80}, ThumbnailSize{240, 160}},
        {"one pixel short", 239, 160, 1, {120, 80}, std::nullopt},
        {"smaller than the 1x", 60, 40, 1, {120, 80}, std::nullopt},
        // Stored 600 x 900, shown 900 x 600.
        {"turned by its EXIF", 600, 900, 6, {120, 80}, ThumbnailSize{240, 160}},
        {"large enough only once turned", 160, 240, 6, {120, 80}, ThumbnailSize{240, 160}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string source = path("source.jpg");
        ASSERT_TRUE(test::writeTestImage(source, c.width, c.height));
        if (c.orientation != 1) {
            ASSERT_TRUE(test::writeBytes(
                source, test::withExifOrientation(test::readFile(source), c.orientation, false)));
        }
        PhotoThumbnailRequest request;
        request.source = source;
        request.output = "JPEG:" + path("t.jpg");
        request.output2x = path("t@2x.jpg");
        request.size = c.size;
        PhotoThumbnails made;
        std::string error;
        ASSERT_EQ(RenderPhotoThumbnails(request, made, &error), kThumbnailWritten) << error;
        EXPECT_EQ(made.one.path, path("t.jpg"));
        const Decoded one = decode(made.one.bytes, path("t.jpg"));
        EXPECT_EQ(one.width, c.size.width);
        EXPECT_EQ(one.height, c.size.height);
        ASSERT_EQ(made.twice.has_value(), c.twice.has_value());
        if (!c.twice) continue;
        EXPECT_EQ(made.twice->path, path("t@2x.jpg"));
        const Decoded two = decode(made.twice->bytes, path("t@2x.jpg"));
        EXPECT_EQ(two.width, c.twice->width);
        EXPECT_EQ(two.height, c.twice->height);
        EXPECT_EQ(two.quality, kPhotoThumbnailQuality);
    }
}

TEST_F(PhotoThumbnailTest, KeepsNoMetadata) {
    std::string source = path("tagged.jpg");
    ASSERT_TRUE(test::writeTestImage(source, 800, 600));
    ASSERT_TRUE(test::writeBytes(source, test::withExifOrientation(test::readFile(source), 1, false)));
    PhotoThumbnailRequest request;
    request.source = source;
    request.output = "JPEG:" + path("t.jpg");
    request.output2x = path("t@2x.jpg");
    request.size = {100, 75};
    PhotoThumbnails made;
    std::string error;
    ASSERT_EQ(RenderPhotoThumbnails(request, made, &error), kThumbnailWritten) << error;
    ASSERT_TRUE(made.twice);
    for (const EncodedThumbnail* file : {&made.one, &*made.twice}) {
        const std::string bytes(file->bytes.begin(), file->bytes.end());
        EXPECT_EQ(bytes.find("Exif"), std::string::npos) << file->path;
    }
}

// The colour profile of `profile`, saved with `description`.
std::string profileBytes(cmsHPROFILE profile, const char* description) {
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", description);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

TEST_F(PhotoThumbnailTest, AProfileThatOnlySaysSrgbIsLeftOutAnyOtherKept) {
    cmsCIExyY d65{0.3127, 0.3290, 1.0};
    // Wide primaries, as a camera's or a display's profile has.
    cmsCIExyYTRIPLE wide{{0.7347, 0.2653, 1.0}, {0.1152, 0.8264, 1.0}, {0.1566, 0.0177, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    const struct {
        const char* what;
        std::string icc;
        bool kept;
    } cases[] = {
        {"sRGB", profileBytes(cmsCreate_sRGBProfile(), "sRGB IEC61966-2.1"), false},
        {"wide gamut", profileBytes(cmsCreateRGBProfile(&d65, &wide, curves), "Wide Gamut RGB"), true},
    };
    cmsFreeToneCurve(gamma);
    ASSERT_TRUE(test::writeTestImage(path("plain.jpg"), 400, 300));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(test::writeBytes(path("p.icc"), c.icc));
        ASSERT_EQ(std::system(("convert '" + path("plain.jpg") + "' -profile '" + path("p.icc") + "' '" +
                               path("icc.jpg") + "'").c_str()),
                  0);
        PhotoThumbnailRequest request;
        request.source = path("icc.jpg");
        request.output = "JPEG:" + path("t.jpg");
        request.size = {100, 75};
        PhotoThumbnails made;
        std::string error;
        ASSERT_EQ(RenderPhotoThumbnails(request, made, &error), kThumbnailWritten) << error;
        const std::string bytes(made.one.bytes.begin(), made.one.bytes.end());
        EXPECT_EQ(bytes.find("ICC_PROFILE") != std::string::npos, c.kept);
    }
}

}  // namespace
}  // namespace lumigal
