#include "imaging/video_probe.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "imaging/image_library.h"
#include "imaging/thumbnail.h"
#include "imaging/video_format.h"
#include "imaging/video_poster.h"
#include "test_support/run_in_child.h"
#include "video_files.h"

namespace lumigal {
namespace {

// The videos every test here reads, made once.
class VideoProbeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        startImageLibrary();
        // A folder of its own: ctest runs each test in a process of its own,
        // side by side.
        dir = new std::string(test::makeTempFolder("video_probe_" + std::to_string(::getpid())));
        const auto at = [](const char* name) { return *dir + "/" + name; };
        made = test::makePatternVideo(at("plain.mp4"), "320x240", 2,
                                      {"-f", "lavfi", "-i", "sine=duration=2", "-c:a", "aac",
                                       "-metadata", "creation_time=2024-05-01T10:20:30Z",
                                       "-metadata", "location=+48.8577+002.2950/", "-movflags",
                                       "+faststart"}) &&
               test::makePatternVideo(at("phone.mov"), "160x120", 1,
                                      {"-movflags", "use_metadata_tags", "-metadata",
                                       "com.apple.quicktime.creationdate=2024-05-01T12:20:30+0200",
                                       "-f", "mov"}) &&
               test::makeTurnedVideo(at("turned.mp4"), 90) &&
               test::makePatternVideo(at("clip.webm"), "96x64", 1, {"-c:v", "libvpx-vp9"}) &&
               test::makePatternVideo(at("clip.mkv"), "96x64", 1,
                                      {"-metadata", "creation_time=2023-12-31T23:59:59Z"}) &&
               test::makePatternVideo(at("clip.avi"), "96x64", 1, {"-c:v", "mpeg4"}) &&
               test::makePatternVideo(at("clip.3gp"), "96x64", 1, {"-f", "3gp"}) &&
               test::makePatternVideo(at("clip.m4v"), "96x64", 1, {"-f", "mp4", "-brand", "M4V "}) &&
               test::makePatternVideo(at("wide_pixels.mp4"), "100x100", 1, {"-vf", "setsar=2"});
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        std::filesystem::remove_all(*dir, ignored);
        delete dir;
    }
    static std::string path(const std::string& name) { return *dir + "/" + name; }

    static std::string* dir;
    static bool made;
};
std::string* VideoProbeTest::dir = nullptr;
bool VideoProbeTest::made = false;

TEST_F(VideoProbeTest, TellsWhatEachVideoIs) {
    ASSERT_TRUE(made) << "ffmpeg could not make the test videos";
    const struct {
        const char* name;
        VideoFormat container;
        std::size_t width, height;
        int rotation;
        const char* codec;
        const char* audio;
        double duration;
        const char* time;
        const char* offset;
        bool location;
    } cases[] = {
        {"plain.mp4", VideoFormat::MP4, 320, 240, 0, "h264", "aac", 2, "2024-05-01T10:20:30",
         "+00:00", true},
        // The phone's local time and offset.
        {"phone.mov", VideoFormat::MOV, 160, 120, 0, "h264", "", 1, "2024-05-01T12:20:30",
         "+02:00", false},
        // Shown a quarter turn: the stored 160 x 80 stands upright.
        {"turned.mp4", VideoFormat::MP4, 80, 160, 270, "h264", "", 1, "", "", false},
        {"clip.webm", VideoFormat::WebM, 96, 64, 0, "vp9", "", 1, "", "", false},
        {"clip.mkv", VideoFormat::MKV, 96, 64, 0, "h264", "", 1, "2023-12-31T23:59:59", "+00:00",
         false},
        {"clip.avi", VideoFormat::AVI, 96, 64, 0, "mpeg4", "", 1, "", "", false},
        {"clip.3gp", VideoFormat::ThreeGP, 96, 64, 0, "h264", "", 1, "", "", false},
        {"clip.m4v", VideoFormat::M4V, 96, 64, 0, "h264", "", 1, "", "", false},
        // Pixels twice as wide as high.
        {"wide_pixels.mp4", VideoFormat::MP4, 200, 100, 0, "h264", "", 1, "", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sniffVideoFile(path(c.name)), c.container);
        std::string error;
        const std::optional<VideoInfo> info = probeVideoFile(path(c.name), error);
        ASSERT_TRUE(info) << error;
        EXPECT_EQ(info->container, c.container);
        EXPECT_EQ(info->width, c.width);
        EXPECT_EQ(info->height, c.height);
        EXPECT_EQ(info->rotation, c.rotation);
        EXPECT_EQ(info->codec, c.codec);
        EXPECT_EQ(info->audioCodec, c.audio);
        EXPECT_NEAR(info->duration, c.duration, 0.15);
        EXPECT_EQ(info->captureTime, c.time);
        EXPECT_EQ(info->captureOffset, c.offset);
        EXPECT_EQ(info->hasLocation, c.location);
        struct stat st {};
        ASSERT_EQ(::stat(path(c.name).c_str(), &st), 0);
        EXPECT_EQ(info->fileSize, st.st_size);
        // The same through a descriptor, left where it was.
        const int fd = ::open(path(c.name).c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::lseek(fd, 7, SEEK_SET), 7);
        const std::optional<VideoInfo> fromDescriptor = probeVideoDescriptor(fd, error);
        EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 7);
        ::close(fd);
        ASSERT_TRUE(fromDescriptor) << error;
        EXPECT_EQ(fromDescriptor->height, c.height);
        // The same from memory.
        const std::string bytes = test::readFile(path(c.name));
        const std::optional<VideoInfo> fromMemory = probeVideoData(
            reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), error);
        ASSERT_TRUE(fromMemory) << error;
        EXPECT_EQ(fromMemory->width, c.width);
        EXPECT_EQ(fromMemory->captureTime, c.time);
    }
}

TEST_F(VideoProbeTest, RefusesHostileFilesWithAReasonAndWithoutWaiting) {
    ASSERT_TRUE(made) << "ffmpeg could not make the test videos";
    const std::string plain = test::readFile(path("plain.mp4"));
    const std::string atEnd = test::readFile(path("clip.3gp"));  // its index after its frames
    ASSERT_FALSE(plain.empty());
    const std::string huge = test::withClaimedSize(plain, 65535, 65535);
    const std::string square = test::withClaimedSize(plain, 16000, 16000);
    ASSERT_FALSE(huge.empty());
    ASSERT_FALSE(square.empty());
    const struct {
        const char* name;
        std::string bytes;
        const char* error;
    } files[] = {
        {"empty.mp4", "", "fichier vide"},
        {"garbage.mp4", test::noise(8192, 1), "format vidéo non reconnu"},
        {"photo.mp4", "\xff\xd8\xff\xe0 JFIF", "format vidéo non reconnu"},
        {"boxes_then_noise.mp4", plain.substr(0, 32) + test::noise(8192, 2),
         "vidéo illisible ou endommagée"},
        {"cut_header.mp4", plain.substr(0, 400), "vidéo illisible ou endommagée"},
        {"index_lost.3gp", atEnd.substr(0, atEnd.size() / 2), "vidéo illisible ou endommagée"},
        {"huge.mp4", huge, "vidéo trop grande"},
        {"square.mp4", square, "vidéo trop grande"},
    };
    for (const auto& f : files) ASSERT_TRUE(test::writeBytes(path(f.name), f.bytes)) << f.name;
    ASSERT_EQ(::mkdir(path("folder.mp4").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(path("pipe.mp4").c_str(), 0644), 0);
    struct Case {
        const char* name;
        const char* error;
    };
    std::vector<Case> cases;
    for (const auto& f : files) cases.push_back({f.name, f.error});
    cases.push_back({"folder.mp4", "n'est pas un fichier ordinaire"});
    cases.push_back({"pipe.mp4", "n'est pas un fichier ordinaire"});
    cases.push_back({"missing.mp4", "impossible d'ouvrir"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(path("poster.jpg").c_str());
        // A child, so that a read that blocks fails the test instead of
        // holding it up.
        const test::ChildResult child = test::runInChild(
            [&](int out) {
                std::string error;
                const bool probed = probeVideoFile(path(c.name), error).has_value();
                std::string posterError;
                const int written = MakeVideoPoster(
                    {"Lumigal", "-quality", "99", "-contrast", path(c.name), path("poster.jpg")},
                    {40, 30}, &posterError);
                const std::string report = (probed ? "probed" : error) + "|" +
                                           (written == kThumbnailWritten ? "made" : posterError);
                return ::write(out, report.data(), report.size()) < 0 ? 2 : 0;
            },
            30);
        ASSERT_FALSE(child.timedOut);
        ASSERT_EQ(child.code, 0) << child.output;
        const std::size_t bar = child.output.find('|');
        ASSERT_NE(bar, std::string::npos) << child.output;
        EXPECT_EQ(child.output.substr(0, bar).find(c.error), 0u) << child.output;
        EXPECT_EQ(child.output.substr(bar + 1).find(c.error), 0u) << child.output;
        EXPECT_FALSE(test::readFile(path("poster.jpg")).size()) << "a poster was left";
    }
}

TEST_F(VideoProbeTest, RefusesFramesTooDeepForTheirMemory) {
    ASSERT_TRUE(made) << "ffmpeg could not make the test videos";
    // 5K in 4:4:4 at 10 bits: within the area, not within the memory of a
    // frame (88 MB).
    ASSERT_TRUE(test::makeVideo(path("deep.mp4"),
                                {"-f", "lavfi", "-i", "color=gray:size=5120x2880:rate=1:duration=1",
                                 "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                                 "yuv444p10le"}));
    std::string error;
    ASSERT_TRUE(probeVideoFile(path("deep.mp4"), error)) << error;
    EncodedThumbnail encoded;
    EXPECT_EQ(RenderVideoPoster({"Lumigal", path("deep.mp4"), path("deep.jpg")}, {64, 36}, encoded,
                                &error),
              kThumbnailNotMade);
    EXPECT_EQ(error, "vidéo trop grande");
}

TEST_F(VideoProbeTest, ReadsAVideoCutShortAsFarAsItGoes) {
    ASSERT_TRUE(made) << "ffmpeg could not make the test videos";
    // The index first, its frames cut at every fifth of the file: the
    // header is read, and a poster is made from what is left or refused
    // with a reason.
    const std::string plain = test::readFile(path("plain.mp4"));
    for (int fifth = 1; fifth < 5; ++fifth) {
        SCOPED_TRACE(fifth);
        const std::string name = "cut" + std::to_string(fifth) + ".mp4";
        ASSERT_TRUE(test::writeBytes(path(name), plain.substr(0, plain.size() * fifth / 5)));
        std::string error;
        const std::optional<VideoInfo> info = probeVideoFile(path(name), error);
        ASSERT_TRUE(info) << error;
        EXPECT_EQ(info->width, 320u);
        EncodedThumbnail encoded;
        const int written = RenderVideoPoster({"Lumigal", "-contrast", path(name), path("cut.jpg")},
                                              {32, 24}, encoded, &error);
        if (written != kThumbnailWritten) {
            EXPECT_FALSE(error.empty());
        }
    }
}

}  // namespace
}  // namespace lumigal
