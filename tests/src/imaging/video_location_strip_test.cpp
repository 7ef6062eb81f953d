#include "imaging/video_location_strip.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "imaging/video_format.h"
#include "imaging/video_probe.h"
#include "video_files.h"

namespace lumigal {
namespace {

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::optional<VideoInfo> probed(const std::string& bytes) {
    std::string error;
    return probeVideoData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), error);
}

// Each way a phone or a muxer writes the place: blanked, the video still
// read as the same video, no byte moved.
TEST(VideoLocationStrip, BlanksEveryPlaceAndKeepsTheVideo) {
    const std::string dir = test::makeTempFolder("video_strip_" + std::to_string(::getpid()));
    const std::vector<std::string> place = {"-metadata", "location=+48.8577+002.2950/"};
    struct Case {
        const char* name;
        std::vector<std::string> extra;
        std::size_t atLeast;  // entries blanked
    };
    const std::vector<Case> cases = {
        // The keys of a phone's metadata list (and 3GPP's loci box).
        {"keys.mp4", {"-movflags", "use_metadata_tags"}, 1},
        // QuickTime's ©xyz in the movie's user data.
        {"quicktime.mov", {"-f", "mov"}, 1},
        {"tags.mkv", {"-f", "matroska"}, 1},
        {"tags.webm", {"-c:v", "libvpx-vp9", "-f", "webm"}, 1},
        // Nothing to blank.
        {"plain.avi", {"-c:v", "mpeg4", "-f", "avi"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> extra = c.atLeast ? place : std::vector<std::string>{};
        extra.insert(extra.end(), c.extra.begin(), c.extra.end());
        const std::string path = dir + "/" + c.name;
        ASSERT_TRUE(test::makePatternVideo(path, "96x64", 1, extra));
        std::string bytes = bytesOf(path);
        const std::optional<VideoFormat> format =
            sniffVideoFormat(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ASSERT_TRUE(format);
        const std::optional<VideoInfo> before = probed(bytes);
        ASSERT_TRUE(before);
        EXPECT_EQ(before->hasLocation, c.atLeast > 0) << "the test video's place";
        const std::size_t size = bytes.size();
        const std::size_t blanked = blankVideoLocation(bytes, *format);
        EXPECT_GE(blanked, c.atLeast);
        EXPECT_EQ(bytes.size(), size);
        EXPECT_EQ(bytes.find("+48.8577"), std::string::npos) << "the place's text is left";
        const std::optional<VideoInfo> after = probed(bytes);
        ASSERT_TRUE(after) << "the video no longer reads";
        EXPECT_FALSE(after->hasLocation);
        EXPECT_EQ(after->codec, before->codec);
        EXPECT_EQ(after->width, before->width);
        EXPECT_DOUBLE_EQ(after->duration, before->duration);
        // A second pass finds nothing more.
        const std::string once = bytes;
        EXPECT_EQ(blankVideoLocation(bytes, *format), 0u);
        EXPECT_EQ(bytes, once);
    }
}

std::string box(const std::string& type, const std::string& payload) {
    const std::size_t size = 8 + payload.size();
    std::string b = {static_cast<char>(size >> 24), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                     static_cast<char>(size)};
    return b + type + payload;
}

// Boxes made by hand: a 3GPP loci in a track's user data, damaged sizes
// that must neither be followed nor crash.
TEST(VideoLocationStrip, HandMadeBoxes) {
    const std::string loci = box("loci", "Paris secret");
    std::string movie = box("ftyp", "isom") + box("moov", box("trak", box("udta", loci)) + box("mvhd", "x"));
    const std::size_t size = movie.size();
    EXPECT_EQ(blankVideoLocation(movie, VideoFormat::MP4), 1u);
    EXPECT_EQ(movie.size(), size);
    EXPECT_EQ(movie.find("Paris"), std::string::npos);
    EXPECT_NE(movie.find("free"), std::string::npos);
    EXPECT_NE(movie.find("mvhd"), std::string::npos) << "a box after it is kept";

    struct Damaged {
        const char* what;
        std::string bytes;
    };
    const std::vector<Damaged> damaged = {
        {"a size past the end", box("moov", box("udta", loci)).substr(0, 20)},
        {"a size of 4", std::string("\0\0\0\4moov", 8) + loci},
        {"a 64-bit size cut short", std::string("\0\0\0\1moov\0\0", 10)},
        {"nothing", ""},
        {"a Matroska tag cut short", std::string("\x67\xC8\x88", 3)},
    };
    for (const Damaged& d : damaged) {
        SCOPED_TRACE(d.what);
        for (VideoFormat format : {VideoFormat::MP4, VideoFormat::MKV}) {
            std::string bytes = d.bytes;
            blankVideoLocation(bytes, format);
            EXPECT_EQ(bytes.size(), d.bytes.size());
        }
    }
}

}  // namespace
}  // namespace lumigal
