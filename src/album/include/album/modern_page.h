// The modern album page: HTML5 for today's browsers and phones. One inline
// style sheet built from the page settings, thumbnails in a grid that wraps
// to the screen, images scaled to fit it, a caption for every image, and a
// small inline viewer (without JavaScript every thumbnail is a plain link).
// Nothing is loaded from the network; no path of the machine is shown.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "album/detail_block.h"
#include "settings/settings_schema.h"

namespace lumigal {

// One image of the page; the URLs are attribute values, already escaped.
struct ModernImage {
    std::string name;       // the file name (not escaped)
    std::string caption;    // from the image's metadata (not escaped); empty: none
    std::string linkUrl;    // the image itself
    std::string shownUrl;   // what the page shows: its thumbnail, or the image
    std::string shown2xUrl; // its thumbnail at twice the size, for HiDPI screens; empty: none
    std::size_t shownWidth = 0, shownHeight = 0;
    ImageDetails details;   // details mode only
    // A video: its tile (its poster) links the video, which the browser
    // plays itself rather than the viewer.
    bool video = false;
};

// The alternative text and caption: the metadata caption, else the name.
std::string captionOf(const ModernImage& image);

// The whole page. `date` is the generation date as the classic page gives it.
std::string ModernPage(const PageSettings& page, const std::vector<ModernImage>& images,
                       const std::string& date);

}  // namespace lumigal
