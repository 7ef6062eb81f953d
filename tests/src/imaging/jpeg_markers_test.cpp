// The JPEG marker reader: the memory a frame's coefficients take, and the
// EXIF orientation tag.
#include "imaging/jpeg_markers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lumigal {
namespace {

const std::uint8_t* bytesOf(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// A JPEG header made by hand: a frame of `marker` with the components'
// sampling factors, then a scan header with the first `scanComponents`.
std::string jpegHeader(unsigned char marker, unsigned width, unsigned height,
                       const std::vector<unsigned char>& sampling, std::size_t scanComponents) {
    std::string sof = {'\xff', static_cast<char>(marker), 0,
                       static_cast<char>(8 + 3 * sampling.size()), 8,
                       static_cast<char>(height >> 8), static_cast<char>(height & 0xFF),
                       static_cast<char>(width >> 8), static_cast<char>(width & 0xFF),
                       static_cast<char>(sampling.size())};
    for (std::size_t i = 0; i < sampling.size(); ++i) {
        sof += {static_cast<char>(i + 1), static_cast<char>(sampling[i]), 0};
    }
    std::string sos = {'\xff', '\xda', 0, static_cast<char>(6 + 2 * scanComponents),
                       static_cast<char>(scanComponents)};
    for (std::size_t i = 0; i < scanComponents; ++i) sos += {static_cast<char>(i + 1), 0};
    sos += {0, 63, 0};
    return std::string("\xff\xd8", 2) + sof + sos;
}

TEST(JpegFrameMemoryTest, CoefficientsOfTheWholeImageAreCountedAsTheLibraryKeepsThem) {
    const std::vector<unsigned char> yuv420 = {0x22, 0x11, 0x11};
    const struct {
        const char* what;
        std::string bytes;
        bool multiScan;
        std::uint64_t coefficientBytes;
    } cases[] = {
        // 2 x 2 luma blocks and one block of each chroma.
        {"baseline 4:2:0", jpegHeader(0xC0, 16, 16, yuv420, 3), false, 6 * 128},
        {"baseline, one component a scan", jpegHeader(0xC0, 16, 16, yuv420, 1), true, 6 * 128},
        {"progressive", jpegHeader(0xC2, 16, 16, yuv420, 1), true, 6 * 128},
        // Luma 3 x 2 blocks rounded up to 4 x 2, chroma 2 x 1 each.
        {"partial blocks", jpegHeader(0xC2, 17, 9, yuv420, 1), true, 12 * 128},
        {"grey", jpegHeader(0xC2, 64, 8, {0x11}, 1), true, 8 * 128},
        {"16000 x 16000", jpegHeader(0xC2, 16000, 16000, yuv420, 1), true,
         (4000000ull + 2 * 1000000ull) * 128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto frame = jpegFrameMemory(bytesOf(c.bytes), c.bytes.size());
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->multiScan, c.multiScan);
        EXPECT_EQ(frame->coefficientBytes, c.coefficientBytes);
    }
    std::string noFrame = jpegHeader(0xC2, 16, 16, yuv420, 1);
    noFrame.erase(2, 8 + 3 * 3);
    std::string badSampling = jpegHeader(0xC2, 16, 16, {0x51, 0x11, 0x11}, 1);
    std::string cut = jpegHeader(0xC2, 16, 16, yuv420, 1).substr(0, 12);
    for (const std::string& bytes : {noFrame, badSampling, cut}) {
        EXPECT_FALSE(jpegFrameMemory(bytesOf(bytes), bytes.size()));
    }
}

// TIFF data holding one IFD entry, made by hand.
std::string tiffWith(bool little, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                     std::uint16_t value) {
    std::string out = little ? "II" : "MM";
    const auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<char>((v >> (8 * (little ? i : bytes - 1 - i))) & 0xFF));
        }
    };
    put(42, 2);
    put(8, 4);
    put(1, 2);
    put(tag, 2);
    put(type, 2);
    put(count, 4);
    put(value, 2);
    put(0, 2);
    put(0, 4);
    return out;
}

TEST(ExifOrientationTest, OnlyAWellFormedTagCounts) {
    std::string badMagic = tiffWith(true, 0x0112, 3, 1, 6);
    badMagic[2] = 43;
    std::string farIfd = tiffWith(false, 0x0112, 3, 1, 6);
    farIfd[7] = 100;
    // Another tag, then a second entry that the data do not hold.
    std::string manyEntries = tiffWith(true, 0x0110, 3, 1, 6) + "\x12\x01\x03";
    manyEntries[8] = 2;
    const struct {
        const char* what;
        std::string tiff;
        int orientation;
    } cases[] = {
        {"little-endian", tiffWith(true, 0x0112, 3, 1, 6), 6},
        {"big-endian", tiffWith(false, 0x0112, 3, 1, 8), 8},
        {"another tag", tiffWith(true, 0x0110, 3, 1, 6), 1},
        {"value 0", tiffWith(true, 0x0112, 3, 1, 0), 1},
        {"value 9", tiffWith(false, 0x0112, 3, 1, 9), 1},
        {"a LONG", tiffWith(true, 0x0112, 4, 1, 6), 1},
        {"two values", tiffWith(true, 0x0112, 3, 2, 6), 1},
        {"bad magic number", badMagic, 1},
        {"IFD past the end", farIfd, 1},
        {"IFD cut short", manyEntries, 1},
        {"cut in the header", tiffWith(true, 0x0112, 3, 1, 6).substr(0, 7), 1},
        {"nothing", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tiffOrientation(bytesOf(c.tiff), c.tiff.size()), c.orientation);
    }
    // In a JPEG: the first EXIF segment before the first scan, after any
    // other APP1.
    const std::string exif = "Exif" + std::string(2, '\0') + tiffWith(true, 0x0112, 3, 1, 3);
    const auto app1 = [](const std::string& payload) {
        return std::string("\xff\xe1", 2) + static_cast<char>((payload.size() + 2) >> 8) +
               static_cast<char>((payload.size() + 2) & 0xFF) + payload;
    };
    const std::string scan = jpegHeader(0xC0, 16, 16, {0x11}, 1);
    const std::string soi = scan.substr(0, 2), frameAndScan = scan.substr(2);
    const struct {
        const char* what;
        std::string jpeg;
        int orientation;
    } jpegs[] = {
        {"after the start", soi + app1(exif) + frameAndScan, 3},
        {"after an XMP segment", soi + app1(std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33)) +
                                     app1(exif) + frameAndScan, 3},
        {"after the first scan header", scan + app1(exif), 1},
        {"without its EXIF header", soi + app1(exif.substr(6)) + frameAndScan, 1},
        {"segment longer than the data", soi + app1(exif).substr(0, 20), 1},
    };
    for (const auto& c : jpegs) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(jpegOrientation(bytesOf(c.jpeg), c.jpeg.size()), c.orientation);
    }
}

}  // namespace
}  // namespace lumigal
