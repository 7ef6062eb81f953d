#include "imaging/thumbnail.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "album/detail_block.h"
#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "magick_image.h"
#include "corner_marks.h"
#include "imaging/jpeg_markers.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

namespace fs = std::filesystem;

using test::readFile;

TEST(ThumbnailFileName, FollowsTheSettings) {
    const struct {
        const char* source;
        const char* folder;
        bool keepSameFormat;
        int newFormat;
        const char* maker;
        const char* page;
    } cases[] = {
        {"/photos/a.JPE", "/th", true, 2, "/th/a.JPE", "/th/a.JPE"},
        {"/photos/b.gif", "/th", true, 0, "/th/b.gif", "/th/b.gif"},
        {"/photos/photo.png", "/th", false, 0, "/th/photo.bmp", "/th/photo.bmp"},
        {"/photos/photo.png", "/th", false, 1, "/th/photo.gif", "/th/photo.gif"},
        {"/photos/photo.png", "/th", false, 2, "JPEG:/th/photo.jpg", "/th/photo.jpg"},
        {"/photos/photo.png", "/th", false, 3, "/th/photo.png", "/th/photo.png"},
        {"/photos/photo.png", "/th", false, 4, "/th/photo.png", "/th/photo.png"},
        {"/photos/photo.png", "/th", false, -1, "/th/photo.png", "/th/photo.png"},
        {"/photos/README", "/th", true, 0, "/th/README", "/th/README"},
        {"/photos/README", "/th", false, 1, "/th/README.gif", "/th/README.gif"},
        {"/photos.d/scan", "/th", false, 0, "/th/scan.bmp", "/th/scan.bmp"},
        {"/photos/a.b.c.gif", "/th", false, 3, "/th/a.b.c.png", "/th/a.b.c.png"},
        {"/photos/my photo [1].jpeg", "/my th", true, 0, "/my th/my photo [1].jpeg",
         "/my th/my photo [1].jpeg"},
        {"/photos/photo.png", "", false, 2, "JPEG:photo.jpg", "photo.jpg"},
        // A video's poster is an image: a JPEG where it would keep the format.
        {"/videos/VID_1.MP4", "/th", true, 0, "JPEG:/th/VID_1.jpg", "/th/VID_1.jpg"},
        {"/videos/clip.webm", "/th", true, 3, "JPEG:/th/clip.jpg", "/th/clip.jpg"},
        {"/videos/clip.mov", "/th", false, 3, "/th/clip.png", "/th/clip.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " " + std::to_string(c.newFormat));
        const ThumbnailNames names =
            thumbnailFileName(c.source, c.folder, c.keepSameFormat, c.newFormat);
        EXPECT_EQ(names.maker, c.maker);
        EXPECT_EQ(names.page, c.page);
    }
}

class MakeThumbnailTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::makeTempFolder(std::string("thumbnail_") +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }

    // The page writer's argument vector.
    static std::vector<std::string> pageArgs(const std::string& source, const std::string& output) {
        return {"Lumigal", "-quality", "99", "-contrast", source, output};
    }

    // The names in the folder (to see that nothing else was left there).
    std::set<std::string> folderNames() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    void expectThumbnail(const std::string& file, unsigned width, unsigned height,
                         ImageFormat format) const {
        std::string error;
        const auto header = pingImageFile(file, error);
        ASSERT_TRUE(header) << error;
        EXPECT_EQ(header->width, width);
        EXPECT_EQ(header->height, height);
        EXPECT_EQ(header->format, format);
    }

    std::string dir;
};

TEST_F(MakeThumbnailTest, WritesEachFormatAtTheExactSize) {
    ASSERT_TRUE(test::writeTestImage(path("source.png"), 64, 48));
    ASSERT_TRUE(test::writeTestImage(path("source.gif"), 64, 48));
    const struct {
        std::string maker;
        std::string file;
        ImageFormat format;
        const char* source;
    } cases[] = {
        {"t.bmp", "t.bmp", ImageFormat::BMP, "source.png"},
        {"t.gif", "t.gif", ImageFormat::GIF, "source.png"},
        {"JPEG:" + path("t.jpg"), "t.jpg", ImageFormat::JPEG, "source.png"},
        {"t.png", "t.png", ImageFormat::PNG, "source.gif"},
        {"t.dib", "t.dib", ImageFormat::DIB, "source.png"},
        {"t.xbm", "t.xbm", ImageFormat::XBM, "source.png"},
        {"u.JPE", "u.JPE", ImageFormat::JPEG, "source.png"},
        {"u.Jpeg", "u.Jpeg", ImageFormat::JPEG, "source.png"},
        // A JPEG named .png by its prefix: the prefix wins.
        {"JPEG:" + path("v.png"), "v.png", ImageFormat::JPEG, "source.png"},
        // An extension that names no format: the source's own format.
        {"w.thumb", "w.thumb", ImageFormat::GIF, "source.gif"},
        {"x", "x", ImageFormat::PNG, "source.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maker);
        const std::string maker = c.maker.rfind("JPEG:", 0) == 0 ? c.maker : path(c.maker);
        std::string error;
        EXPECT_EQ(MakeThumbnail(pageArgs(path(c.source), maker), {30, 20}, &error),
                  kThumbnailWritten)
            << error;
        expectThumbnail(path(c.file), 30, 20, c.format);
    }
    std::set<std::string> expected = {"source.png", "source.gif"};
    for (const auto& c : cases) expected.insert(c.file);
    EXPECT_EQ(folderNames(), expected);
}

TEST_F(MakeThumbnailTest, ScalesToExactlyTheAskedSize) {
    const struct {
        unsigned sourceWidth, sourceHeight, width, height;
    } cases[] = {
        {640, 480, 100, 100},  // distorted, not letter-boxed
        {50, 40, 100, 100},    // enlarged
        {31, 77, 1, 1},
        {100, 100, 120, 90},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.sourceWidth) + "x" + std::to_string(c.sourceHeight));
        ASSERT_TRUE(test::writeTestImage(path("in.jpg"), c.sourceWidth, c.sourceHeight));
        std::string error;
        ASSERT_EQ(MakeThumbnail(pageArgs(path("in.jpg"), "JPEG:" + path("out.jpg")),
                                {c.width, c.height}, &error),
                  kThumbnailWritten)
            << error;
        expectThumbnail(path("out.jpg"), c.width, c.height, ImageFormat::JPEG);
    }
}

TEST_F(MakeThumbnailTest, ContrastIsStretchedToTheFullRange) {
    // The test image's channels stay well inside 0..255; after the thumbnail
    // maker at least one channel reaches both ends.
    ASSERT_TRUE(test::writeTestImage(path("in.png"), 64, 64));
    ASSERT_EQ(MakeThumbnail(pageArgs(path("in.png"), path("out.png")), {32, 32}),
              kThumbnailWritten);
    std::string error;
    ImagePtr image = readImageFirstFrame(path("out.png"), error);
    ASSERT_TRUE(image) << error;
    ExceptionPtr exception(AcquireExceptionInfo());
    double minimum = 0, maximum = 0;
    GetImageChannelRange(image.get(), CompositeChannels, &minimum, &maximum, exception.get());
    EXPECT_LT(minimum, QuantumRange * 0.02);
    EXPECT_GT(maximum, QuantumRange * 0.98);
}

TEST_F(MakeThumbnailTest, QualityComesFromTheOptions) {
    ASSERT_TRUE(test::writeTestImage(path("in.png"), 64, 64));
    const struct {
        std::vector<std::string> options;
        std::size_t quality;
    } cases[] = {
        {{"-quality", "99", "-contrast"}, 99},
        {{"-quality", "40"}, 40},
        {{"-quality", "40", "+quality"}, 75},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quality);
        std::vector<std::string> args = {"Lumigal"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(path("in.png"));
        args.push_back("JPEG:" + path("out.jpg"));
        std::string error;
        ASSERT_EQ(MakeThumbnail(args, {40, 40}, &error), kThumbnailWritten) << error;
        ImagePtr image = readImageFirstFrame(path("out.jpg"), error);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->quality, c.quality);
    }
}

TEST_F(MakeThumbnailTest, OptionsAreCheckedBeforeAnythingIsWritten) {
    ASSERT_TRUE(test::writeTestImage(path("in.png"), 20, 20));
    const std::string in = path("in.png");
    const std::string out = path("out.png");
    const struct {
        std::vector<std::string> args;
        int result;
    } cases[] = {
        {{"L", "+quality", in, out}, kThumbnailWritten},  // consumes nothing
        {{"L", "-quality", "abc", in, out}, kThumbnailBadOption},
        {{"L", "-quality", "-5", in, out}, kThumbnailBadOption},
        {{"L", "-quality", "101", in, out}, kThumbnailBadOption},
        {{"L", "-quality", "0", in, out}, kThumbnailWritten},
        {{"L", "-quality", in, out}, kThumbnailBadOption},  // takes the input as its number
        {{"L", in, "-quality", out}, kThumbnailBadOption},  // only the output name follows
        {{"L", "-geometry", "50x50", in, out}, kThumbnailWritten},
        {{"L", "-geometry", "bad", in, out}, kThumbnailBadOption},
        {{"L", in, "-geometry", out}, kThumbnailBadOption},
        {{"L", "+geometry", in, out}, kThumbnailWritten},
        {{"L", "-size", "40x30", in, out}, kThumbnailWritten},
        {{"L", "-size", "bad", in, out}, kThumbnailBadOption},
        {{"L", "+size", in, out}, kThumbnailWritten},
        {{"L", "-colors", "8", in, out}, kThumbnailWritten},
        {{"L", "-colors", "many", in, out}, kThumbnailBadOption},
        {{"L", "+colors", in, out}, kThumbnailWritten},
        {{"L", "-dither", "+dither", in, out}, kThumbnailWritten},
        {{"L", "-contrast", "+contrast", in, out}, kThumbnailWritten},
        {{"L", "-zzz", in, out}, kThumbnailWritten},  // other letters are ignored
        {{"L", "-", out}, kThumbnailNotMade},         // "-" alone is an input, unreadable
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const auto& a : c.args) trace += a + " ";
        SCOPED_TRACE(trace);
        fs::remove(out);
        std::string error;
        EXPECT_EQ(MakeThumbnail(c.args, {10, 10}, &error), c.result);
        EXPECT_EQ(fs::exists(out), c.result == kThumbnailWritten);
        EXPECT_EQ(error.empty(), c.result == kThumbnailWritten) << error;
        if (c.result == kThumbnailWritten) expectThumbnail(out, 10, 10, ImageFormat::PNG);
    }
}

TEST_F(MakeThumbnailTest, NothingIsMadeWithoutInputOrSize) {
    ASSERT_TRUE(test::writeTestImage(path("in.png"), 20, 20));
    ASSERT_TRUE(test::writeBytes(path("fake.jpg"), "<svg xmlns=\"http://www.w3.org/2000/svg\"/>"));
    ASSERT_TRUE(test::writeBytes(path("old.png"), "previous thumbnail"));
    const struct {
        std::vector<std::string> args;
        ThumbnailSize size;
        const char* message;
    } cases[] = {
        {pageArgs(path("missing.png"), path("old.png")), {10, 10}, "introuvable"},
        {pageArgs(path("fake.jpg"), path("old.png")), {10, 10}, "format d'image non reconnu"},
        {{"L", path("old.png")}, {10, 10}, "Aucune image"},
        {{"L"}, {10, 10}, "Aucun nom"},
        {pageArgs(path("in.png"), path("old.png")), {0, 10}, "nulle"},
        {pageArgs(path("in.png"), path("old.png")), {10, 0}, "nulle"},
        {pageArgs(path("in.png"), path("no folder/t.png")), {10, 10}, "dossier introuvable"},
        {pageArgs(path("in.png"), path("")), {10, 10}, "vignette"},
        {pageArgs(path("in.png"), "JPEG:"), {10, 10}, "Aucun nom"},
        {pageArgs(path("in.png"), dir), {10, 10}, "Impossible d'écrire"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        std::string error;
        EXPECT_EQ(MakeThumbnail(c.args, c.size, &error), kThumbnailNotMade);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        // The source is named by whoever shows the reason, not in it.
        if (c.args.size() > 2) {
            EXPECT_EQ(error.find(c.args[c.args.size() - 2]), std::string::npos) << error;
        }
    }
    // The old file is left as it was and no temporary file stays behind.
    EXPECT_EQ(readFile(path("old.png")), "previous thumbnail");
    EXPECT_EQ(folderNames(), (std::set<std::string>{"in.png", "fake.jpg", "old.png"}));
}

TEST_F(MakeThumbnailTest, TheFirstReadableInputIsWritten) {
    ASSERT_TRUE(test::writeTestImage(path("first.gif"), 20, 20));
    ASSERT_TRUE(test::writeTestImage(path("second.png"), 20, 20));
    std::string error;
    ASSERT_EQ(MakeThumbnail({"L", path("missing.jpg"), path("first.gif"), path("second.png"),
                             path("out.thumb")},
                            {8, 6}, &error),
              kThumbnailWritten)
        << error;
    expectThumbnail(path("out.thumb"), 8, 6, ImageFormat::GIF);
}

TEST_F(MakeThumbnailTest, ReplacesAnExistingThumbnail) {
    ASSERT_TRUE(test::writeTestImage(path("in.png"), 20, 20));
    ASSERT_TRUE(test::writeBytes(path("out.png"), "stale"));
    ASSERT_EQ(MakeThumbnail(pageArgs(path("in.png"), path("out.png")), {12, 9}), kThumbnailWritten);
    expectThumbnail(path("out.png"), 12, 9, ImageFormat::PNG);
}

// Decoys in GIF: what the odd names would mean to a wild-card expansion, a
// frame selector or an "@" list. The real sources are PNG, so a thumbnail
// named with an extension of no format (which takes its source's format)
// tells which file was read.
void writeDecoys(const std::string& dir, const std::string& listEntry) {
    ASSERT_TRUE(test::writeTestImage(dir + "/decoy.gif", 99, 99));
    fs::copy_file(dir + "/decoy.gif", dir + "/decoy.png");
    fs::rename(dir + "/decoy.gif", dir + "/frame.png");
    ASSERT_TRUE(test::writeBytes(dir + "/list.txt", listEntry + "\n"));
}

TEST_F(MakeThumbnailTest, FileNamesAreTakenLiterally) {
    writeDecoys(dir, path("decoy.png"));
    const char* names[] = {
        "my photo.png", "frame[1].png", "img%d.png",     "quo'te\"s.png", "*.png",
        "@list.txt",    "-dash.png",    "png:colon.png", "ünï cödé.png",  "noext",
    };
    for (const char* name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(test::writeTestImage(path("plain.png"), 21, 13));
        fs::rename(path("plain.png"), path(name));
        const std::string output = std::string("thumb ") + name + ".t";
        std::string error;
        ASSERT_EQ(MakeThumbnail(pageArgs(path(name), path(output)), {7, 5}, &error),
                  kThumbnailWritten)
            << error;
        expectThumbnail(path(output), 7, 5, ImageFormat::PNG);
    }
    std::set<std::string> expected = {"decoy.png", "frame.png", "list.txt"};
    for (const char* name : names) {
        expected.insert(name);
        expected.insert(std::string("thumb ") + name + ".t");
    }
    EXPECT_EQ(folderNames(), expected);
}

TEST_F(MakeThumbnailTest, RelativeNamesAreTakenLiterally) {
    // Here the names start with what the library could take for syntax:
    // "@" (a list of files), "*", a "png:" format prefix.
    writeDecoys(dir, "decoy.png");
    const struct {
        const char* source;
        const char* output;
        const char* file;
        ImageFormat format;
    } cases[] = {
        {"@list.txt", "@out.gif", "@out.gif", ImageFormat::GIF},
        {"*.png", "*.bmp", "*.bmp", ImageFormat::BMP},
        {"png:in.png", "png:out.gif", "png:out.gif", ImageFormat::GIF},
        {"frame[0].png", "JPEG:@frame[0].jpg", "@frame[0].jpg", ImageFormat::JPEG},
    };
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        ASSERT_TRUE(test::writeTestImage("plain.png", 21, 13));
        fs::rename("plain.png", c.source);
        std::string error;
        EXPECT_EQ(MakeThumbnail(pageArgs(c.source, c.output), {7, 5}, &error), kThumbnailWritten)
            << error;
        expectThumbnail(path(c.file), 7, 5, c.format);
        EXPECT_EQ(MakeThumbnail(pageArgs(c.source, "check.t"), {7, 5}, &error), kThumbnailWritten)
            << error;
        expectThumbnail(path("check.t"), 7, 5, ImageFormat::PNG);
    }
    fs::current_path(previous);
    std::set<std::string> expected = {"decoy.png", "frame.png", "list.txt", "check.t"};
    for (const auto& c : cases) {
        expected.insert(c.source);
        expected.insert(c.file);
    }
    EXPECT_EQ(folderNames(), expected);
}

using test::BL;
using test::BR;
using test::Corner;
using test::cornerColour;
using test::markedCorners;
using test::TL;
using test::TR;

TEST_F(MakeThumbnailTest, ExifOrientationIsAppliedOnEveryJpegPath) {
    // Where the stored top-left and top-right corners are shown.
    const struct {
        int orientation;
        Corner red, green;
    } orientations[] = {
        {1, TL, TR}, {2, TR, TL}, {3, BR, BL}, {4, BL, BR},
        {5, TL, BL}, {6, TR, BR}, {7, BR, TR}, {8, BL, TL},
    };
    const struct {
        const char* what;
        unsigned width, height;  // as stored
        bool progressive;
        ThumbnailSize thumbnail;
        std::vector<std::string> option;  // before the source
    } sources[] = {
        // Shrunk while loading, then reduced early; turned once scaled.
        {"baseline", 384, 320, false, {20, 20}, {}},
        // Decoded whole, at most 2 x the thumbnail.
        {"small baseline", 48, 40, false, {30, 20}, {}},
        // At least 16 x the thumbnail both ways, as stored and as shown:
        // read from its DC coefficients.
        {"progressive", 384, 320, true, {20, 20}, {}},
        // An option that moves pixels: turned before it applies.
        {"baseline, resized by an option", 384, 320, false, {20, 20}, {"-geometry", "100x90"}},
    };
    for (const auto& source : sources) {
        ASSERT_TRUE(test::writeTestImage(path("plain.jpg"), source.width, source.height,
                                         markedCorners(source.width, source.height),
                                         source.progressive));
        const std::string plain = readFile(path("plain.jpg"));
        for (const auto& o : orientations) {
            SCOPED_TRACE(std::string(source.what) + ", orientation " + std::to_string(o.orientation));
            const std::string file = path("o" + std::to_string(o.orientation) + ".jpg");
            ASSERT_TRUE(test::writeBytes(
                file, test::withExifOrientation(plain, o.orientation, o.orientation % 2 == 1)));
            const bool turned = o.orientation >= 5;
            const unsigned shownWidth = turned ? source.height : source.width;
            const unsigned shownHeight = turned ? source.width : source.height;
            std::string error;
            const auto header = pingImageFile(file, error);
            ASSERT_TRUE(header) << error;
            EXPECT_EQ(header->orientation, o.orientation);
            EXPECT_EQ(header->eighthReadable, source.progressive);
            ImageDetails details;
            ASSERT_EQ(ReadImageDetails(file, details, error), 0) << error;
            EXPECT_EQ(details.width, shownWidth);
            EXPECT_EQ(details.height, shownHeight);

            const ImagePtr upright = readImageFirstFrame(file, error);
            ASSERT_TRUE(upright) << error;
            EXPECT_EQ(upright->columns, shownWidth);
            EXPECT_EQ(upright->rows, shownHeight);

            std::vector<std::string> args = pageArgs(file, path("t.bmp"));
            args.insert(args.begin() + 4, source.option.begin(), source.option.end());
            ASSERT_EQ(MakeThumbnail(args, source.thumbnail, &error), kThumbnailWritten) << error;
            const ImagePtr thumbnail = readImageFirstFrame(path("t.bmp"), error);
            ASSERT_TRUE(thumbnail) << error;
            EXPECT_EQ(thumbnail->columns, source.thumbnail.width);
            EXPECT_EQ(thumbnail->rows, source.thumbnail.height);
            std::string corners, expected;
            for (const Corner c : {TL, TR, BL, BR}) {
                corners += cornerColour(*thumbnail, c);
                expected += c == o.red ? 'r' : c == o.green ? 'g' : '-';
            }
            EXPECT_EQ(corners, expected) << "corners TL TR BL BR";
            // A JPEG thumbnail is upright too, and carries no orientation
            // that would turn it once more.
            ASSERT_EQ(MakeThumbnail(pageArgs(file, "JPEG:" + path("t.jpg")), source.thumbnail,
                                    &error),
                      kThumbnailWritten)
                << error;
            const std::string jpeg = readFile(path("t.jpg"));
            EXPECT_EQ(jpegOrientation(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size()), 1);
            const ImagePtr jpegThumbnail = readImageFirstFrame(path("t.jpg"), error);
            ASSERT_TRUE(jpegThumbnail) << error;
            EXPECT_EQ(cornerColour(*jpegThumbnail, o.red), 'r');
        }
    }
}

}  // namespace
}  // namespace lumigal
