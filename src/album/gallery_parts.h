// The pieces that every gallery page carries inline: its style sheet and
// the viewer's script.
#pragma once

#include <string>
#include <string_view>

#include "settings/settings_schema.h"

namespace lumigal {

// The style sheet: the page's colours (background, text, information, the
// dark border colour for the focus), a dark theme when the visitor's system
// asks for one, the album cards, the justified rows of tiles (each tile's
// --r is its width / height, the list's --h the rows' height), the page
// numbers and the viewer.
std::string galleryStyleSheet(const PageSettings& page);

// The viewer: opens on a click on a tile or on the photo named by the
// address's #id, follows the arrows, swipes, the slideshow and the
// neighbour pages (the list's data-prev-page, data-prev-last,
// data-next-page, data-next-first), keeps the address on the photo shown;
// a tile of data-video plays its link in a <video> with the tile's image
// as its poster, loaded only once it is shown.
std::string_view galleryViewerScript();

}  // namespace lumigal
