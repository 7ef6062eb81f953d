// Test images made by ImageMagick in the test itself.
#pragma once

#include <string>

namespace lumigal::test {

// A fresh, empty folder below the test build's tmp folder.
std::string makeTempFolder(const std::string& name);

// Writes a width x height image to `path`, its format chosen by the
// extension (or a "FMT:" prefix); `interlace` asks for an interlaced
// (progressive) image. Returns false on failure.
bool writeTestImage(const std::string& path, unsigned width, unsigned height,
                    bool interlace = false, unsigned colours = 0);

// Writes raw bytes to `path`.
bool writeBytes(const std::string& path, const std::string& bytes);

}  // namespace lumigal::test
