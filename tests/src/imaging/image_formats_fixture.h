// What the format tests share: a scratch folder per test with the image
// library started, and the helpers that build and look at test files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "corner_marks.h"
#include "imaging/image_library.h"
#include "magick_image.h"
#include "test_support/test_files.h"
#include "test_support/test_images.h"

namespace lumigal {

inline std::string le32(std::uint32_t v) {
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)};
}

// The formats' thumbnails are checked two pixels in from each corner.
inline char cornerTwoIn(const Image& image, test::Corner corner) { return test::cornerColour(image, corner, 2); }

inline std::string corners(const Image& image) {
    std::string text;
    for (const test::Corner c : {test::TL, test::TR, test::BL, test::BR}) text += cornerTwoIn(image, c);
    return text;
}

class ImageFormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        startImageLibrary();
        dir = test::makeTempFolder(std::string("formats_") +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    static std::vector<std::string> pageArgs(const std::string& source, const std::string& output) {
        return {"Lumigal", "-quality", "99", "-contrast", source, output};
    }
    std::string dir;
};

}  // namespace lumigal
