// Test images made by ImageMagick in the test itself.
#pragma once

#include <string>
#include <vector>

namespace lumigal::test {

// A fresh, empty folder below the test build's tmp folder.
std::string makeTempFolder(const std::string& name);

// Writes a width x height image to `path`, its format chosen by the
// extension (or a "FMT:" prefix); `interlace` asks for an interlaced
// (progressive) image. Returns false on failure.
bool writeTestImage(const std::string& path, unsigned width, unsigned height,
                    bool interlace = false, unsigned colours = 0);

// The same with the given pixels: rows of width x 3 bytes (RGB).
bool writeTestImage(const std::string& path, unsigned width, unsigned height,
                    const std::vector<unsigned char>& rgb, bool interlace = false);

// `jpeg` with an EXIF segment (APP1) that holds only the Orientation tag,
// right after the start of image, its TIFF data big-endian when asked.
std::string withExifOrientation(const std::string& jpeg, int orientation, bool bigEndian);

// Writes raw bytes to `path`.
bool writeBytes(const std::string& path, const std::string& bytes);

}  // namespace lumigal::test
