#include "imaging/video_poster.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>

#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "imaging/photo_metadata.h"
#include "test_support/run_in_child.h"
#include "video_files.h"
#include "video_frames.h"
#include "video_input.h"

namespace lumigal {
namespace {

class VideoPosterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        startImageLibrary();
        // A folder of its own: ctest runs each test in a process of its own,
        // side by side.
        dir = new std::string(test::makeTempFolder("video_poster_" + std::to_string(::getpid())));
        // Black for its first second of three, one key frame in all: the
        // frame at a tenth of its length is black.
        made = test::makePatternVideo(path("dark_start.mp4"), "160x120", 3,
                                      {"-vf", "drawbox=color=black:t=fill:enable='lt(t,1)'", "-g",
                                       "100", "-metadata", "location=+48.8577+002.2950/"}) &&
               test::makeTurnedVideo(path("turned.mp4"), 90) &&
               test::makeTurnedVideo(path("turned_back.mp4"), 270) &&
               test::makePatternVideo(path("plain.mp4"), "320x240", 1) &&
               test::makePatternVideo(path("wide_pixels.mp4"), "100x100", 1, {"-vf", "setsar=2"}) &&
               test::makePatternVideo(path("full_hd.mp4"), "1920x1080", 2);
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        std::filesystem::remove_all(*dir, ignored);
        delete dir;
    }
    static std::string path(const std::string& name) { return *dir + "/" + name; }

    // The poster of `name` fitted within the box, straight from the decoder.
    static std::optional<Pixels> poster(const std::string& name, std::size_t width,
                                        std::size_t height, std::string& error) {
        const Deadline deadline;
        const auto input = VideoInput::openFile(path(name), deadline, error);
        if (!input) return std::nullopt;
        const auto info = probeInput(*input, error);
        if (!info) return std::nullopt;
        return decodePoster(*input, *info, width, height, error);
    }

    static std::string* dir;
    static bool made;
};
std::string* VideoPosterTest::dir = nullptr;
bool VideoPosterTest::made = false;

// The colour of a pixel, as 'r', 'b' or '?'.
char colourAt(const Pixels& image, std::size_t x, std::size_t y) {
    const std::uint8_t* p = image.samples.data() + (y * image.width + x) * 3;
    if (p[0] > 200 && p[2] < 60) return 'r';
    if (p[2] > 200 && p[0] < 60) return 'b';
    return '?';
}

TEST_F(VideoPosterTest, StandsUprightAsTheVideoIsShown) {
    ASSERT_TRUE(made) << "ffmpeg could not make the test videos";
    // Stored red above blue; ffmpeg shows "rotate=90" with red on the left
    // (its display matrix turns counter-clockwise), "rotate=270" the other
    // way round.
    const struct {
        const char* name;
        char left, right;
    } cases[] = {{"turned.mp4", 'r', 'b'}, {"turned_back.mp4", 'b', 'r'}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const std::optional<Pixels> image = poster(c.name, 1000, 1000, error);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->width, 80u);
        EXPECT_EQ(image->height, 160u);
        EXPECT_EQ(colourAt(*image, 5, 80), c.left);
        EXPECT_EQ(colourAt(*image, 74, 80), c.right);
        EXPECT_EQ(colourAt(*image, 5, 5), c.left);
        EXPECT_EQ(colourAt(*image, 74, 155), c.right);
    }
}

TEST_F(VideoPosterTest, PassesOverADarkStart) {
    ASSERT_TRUE(made) << "ffmpeg could not make the test videos";
    // The premise: ffmpeg's own frame at a tenth of the length is dark.
    ASSERT_TRUE(test::runFfmpeg({"-ss", "0.3", "-i", path("dark_start.mp4"), "-frames:v", "1",
                                 "-f", "rawvideo", "-pix_fmt", "rgb24", path("at_tenth.rgb")}));
    const std::string tenth = test::readFile(path("at_tenth.rgb"));
    ASSERT_EQ(tenth.size(), 160u * 120 * 3);
    Pixels dark{160, 120, 3, std::vector<std::uint8_t>(tenth.begin(), tenth.end())};
    ASSERT_LT(meanLuma(dark), kDarkFrameLuma);
    std::string error;
    const std::optional<Pixels> image = poster("dark_start.mp4", 160, 120, error);
    ASSERT_TRUE(image) << error;
    EXPECT_GE(meanLuma(*image), 60u);
}

TEST_F(VideoPosterTest, IsNoLargerThanAsked) {
    ASSERT_TRUE(made) << "ffmpeg could not make the test videos";
    const struct {
        const char* name;
        std::size_t boxWidth, boxHeight, width, height;
    } cases[] = {
        {"plain.mp4", 100, 100, 100, 75},
        {"plain.mp4", 640, 120, 160, 120},
        {"plain.mp4", 2000, 2000, 320, 240},  // never enlarged
        {"full_hd.mp4", 240, 180, 240, 135},
        {"wide_pixels.mp4", 1000, 1000, 200, 100},  // as shown
        {"turned.mp4", 40, 40, 20, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.boxWidth));
        std::string error;
        const std::optional<Pixels> image = poster(c.name, c.boxWidth, c.boxHeight, error);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->width, c.width);
        EXPECT_EQ(image->height, c.height);
        EXPECT_EQ(image->channels, 3);
        EXPECT_EQ(image->samples.size(), c.width * c.height * 3);
    }
}

TEST_F(VideoPosterTest, IsWrittenAsAThumbnailWithoutMetadata) {
    ASSERT_TRUE(made) << "ffmpeg could not make the test videos";
    const struct {
        const char* output;  // as the page writer names it
        const char* file;
        ImageFormat format;
    } cases[] = {
        {"JPEG:poster.jpg", "poster.jpg", ImageFormat::JPEG},
        {"poster.png", "poster.png", ImageFormat::PNG},
        {"poster.gif", "poster.gif", ImageFormat::GIF},
        {"poster", "poster", ImageFormat::JPEG},  // no format named
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        std::string output = c.output;
        const bool prefixed = output.rfind("JPEG:", 0) == 0;
        output = (prefixed ? "JPEG:" : "") + path(output.substr(prefixed ? 5 : 0));
        std::string error;
        VideoInfo info;
        ASSERT_EQ(MakeVideoPoster({"Lumigal", "-quality", "99", "-contrast",
                                   path("dark_start.mp4"), output},
                                  {96, 72}, &error, &info),
                  kThumbnailWritten)
            << error;
        EXPECT_EQ(info.width, 160u);
        EXPECT_TRUE(info.hasLocation);
        const std::optional<ImageHeader> header = pingImageFile(path(c.file), error);
        ASSERT_TRUE(header) << error;
        EXPECT_EQ(header->format, c.format);
        EXPECT_EQ(header->width, 96u);
        EXPECT_EQ(header->height, 72u);
        const std::string bytes = test::readFile(path(c.file));
        EXPECT_EQ(bytes.find("+48.8577"), std::string::npos);
        const PhotoMetadata metadata =
            readPhotoMetadata(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        EXPECT_TRUE(metadata.captureTime.empty());
    }
    // A size of nothing is refused as for a photo.
    std::string error;
    EXPECT_EQ(MakeVideoPoster({"Lumigal", path("plain.mp4"), path("none.jpg")}, {0, 10}, &error),
              kThumbnailNotMade);
    EXPECT_FALSE(error.empty());
}

TEST_F(VideoPosterTest, StaysWithinItsMemory) {
    ASSERT_TRUE(made) << "ffmpeg could not make the test videos";
    const char* bound = std::getenv("LUMIGAL_PEAK_MB");
    const long limitKb = (bound ? std::atol(bound) : 300) * 1024;
    const test::ChildResult child = test::runInChild(
        [&](int) {
            EncodedThumbnail encoded;
            if (RenderVideoPoster({"Lumigal", "-contrast", path("full_hd.mp4"), path("hd.jpg")},
                                  {320, 180}, encoded) != kThumbnailWritten) {
                return 2;
            }
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            return usage.ru_maxrss < limitKb ? 0 : 1;
        },
        60);
    EXPECT_FALSE(child.timedOut);
    EXPECT_EQ(child.code, 0) << "2: not made, 1: over the memory bound";
}

}  // namespace
}  // namespace lumigal
