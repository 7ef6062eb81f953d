// Detail blocks: an image with its file name, file size, dimensions,
// colours, interlace mode and folder, above, below, left or right of it.
#pragma once

#include <cstdint>
#include <string>

#include "common/colour.h"

namespace lumigal {

struct ImageDetails {
    std::string baseName;
    std::string extension;
    std::string folder;
    std::size_t width = 0;
    std::size_t height = 0;
    std::int64_t fileSize = 0;
    std::string coloursText;  // the colour count, or "16 millions"
    std::string modeText;     // "entrelac&eacute;" or "non entrelac&eacute;"
};

// Reads the header of the image at `path` and fills `details`: 0 when read,
// 1 when the image cannot be read (`details` unchanged, `error` set).
int ReadImageDetails(const std::string& path, ImageDetails& details, std::string& error);

// The block for `position` (1 to 4; any other value is taken as 1), with the
// texts HTML-escaped and the path as a file URL.
std::string FormatDetailBlock(const std::string& path, const ImageDetails& details,
                              int position, bool center, Colour infoColour);

// The same with the image's SRC value given as it goes in the page
// (a URL, already escaped).
std::string FormatDetailBlockWithSource(const std::string& imageSrc, const ImageDetails& details,
                                        int position, bool center, Colour infoColour);

}  // namespace lumigal
