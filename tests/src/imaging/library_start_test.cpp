// Nothing in the imaging library starts ImageMagick behind the program's
// back: before the program's start-up every read fails with a clear
// message, after it the same files read. Its own program, so that no other
// test has started the library first.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "imaging/thumbnail.h"
#include "test_support/test_images.h"

namespace lumigal {
namespace {

TEST(ImageLibraryStartTest, ReadsWaitForTheProgramsStart) {
    const std::string dir = test::makeTempFolder("library_start");
    const std::string image = dir + "/photo.png";
    // A PNG written by hand: the test images helper would start the library.
    ASSERT_TRUE(test::writeBytes(
        image, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x00\0\0\0"
                           "\x3a\x7e\x9b\x55\0\0\0\x0aIDATx\xda\x63\x60\0\0\0\x02\0\x01"
                           "\xe5\x27\xde\xfc\0\0\0\0IEND\xae\x42\x60\x82",
                           67)));
    ASSERT_FALSE(imageLibraryStarted());

    std::string error;
    EXPECT_FALSE(pingImageFile(image, error));
    EXPECT_EQ(error, "bibliothèque d'images non démarrée");
    std::string message;
    EXPECT_EQ(MakeThumbnail({"Lumigal", image, dir + "/thumb.png"}, ThumbnailSize{4, 4}, &message),
              kThumbnailNotMade);
    EXPECT_EQ(message, "bibliothèque d'images non démarrée");

    startImageLibrary();
    EXPECT_TRUE(imageLibraryStarted());
    error.clear();
    const auto header = pingImageFile(image, error);
    ASSERT_TRUE(header) << error;
    EXPECT_EQ(header->width, 1u);
    EXPECT_EQ(MakeThumbnail({"Lumigal", image, dir + "/thumb.png"}, ThumbnailSize{4, 4}, &message),
              kThumbnailWritten)
        << message;
}

// Each format's coder is found by its own name in a process that has read
// nothing else yet (AVIF first: the library looks it up as a module of its
// own). The files come from the ImageMagick program, before the start.
TEST(ImageLibraryStartTest, EachNewFormatReadsFirstInAProcess) {
    const std::string dir = test::makeTempFolder("library_start_formats");
    const char* names[] = {"a.avif", "h.heic", "w.webp", "t.tif"};
    for (const char* name : names) {
        const std::string command = "convert -size 40x30 gradient:red-blue '" + dir + "/" + name + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    startImageLibrary();
    for (const char* name : names) {
        SCOPED_TRACE(name);
        std::string error;
        const auto header = pingImageFile(dir + "/" + name, error);
        ASSERT_TRUE(header) << error;
        EXPECT_EQ(header->width, 40u);
        std::string message;
        EXPECT_EQ(MakeThumbnail({"Lumigal", dir + "/" + name, dir + "/thumb.bmp"}, ThumbnailSize{4, 4},
                                &message),
                  kThumbnailWritten)
            << message;
    }
}

}  // namespace
}  // namespace lumigal
