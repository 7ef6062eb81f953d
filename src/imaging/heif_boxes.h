// What a HEIF or AVIF file declares about its items, counted over its bytes
// alone before any decoder reads them. A file of a few hundred kilobytes can
// declare a grid of ten thousand tiles, and the decoder library's parse time
// grows faster than the number of items (a minute and more); a phone photo
// of 48 megapixels has 48 to 192 tiles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumigal {

struct HeifBoxCounts {
    std::uint64_t items = 0;         // item information entries, declared or found
    std::uint64_t locations = 0;     // item locations declared
    std::uint64_t references = 0;    // item references of every type
    std::uint64_t mostFromOne = 0;   // the most references one box makes (a grid's tiles)
    std::uint64_t properties = 0;    // item properties
    std::uint64_t associations = 0;  // item-property associations
};

// The counts of the first `meta` box at the top of `data` (all 0 without
// one). Box sizes are never trusted: a box ends at its container's end at
// the latest, and the walk takes time in proportion to the bytes at most.
HeifBoxCounts countHeifBoxes(const std::uint8_t* data, std::size_t size);

// The most of each that a file may declare, well above what cameras and
// phones write (a 192-tile photo with its thumbnail, gain map and
// metadata has about 250 items).
inline constexpr std::uint64_t kMaxHeifItems = 1000;
inline constexpr std::uint64_t kMaxHeifReferences = 2 * kMaxHeifItems;
inline constexpr std::uint64_t kMaxHeifProperties = 2 * kMaxHeifItems;
inline constexpr std::uint64_t kMaxHeifAssociations = 8 * kMaxHeifItems;

// Whether every count is within its bound.
bool heifBoxesWithinBounds(const HeifBoxCounts& counts);

// The primary image of a file when it is a grid of coded tiles that can be
// decoded one by one, as the boxes say: the tiles' item numbers in the
// grid's order (row by row), and where the flags byte of each item's
// information entry lies in the data (clearing its "hidden" bit there makes
// the decoder library list a tile as an image of its own), and the EXIF
// orientation (1 to 8) that shows the grid as stored the way the decoder
// library shows it: the grid's turns and mirrors, in the order they are
// associated with it. nullopt when the primary image is no grid, or the
// grid is cropped.
struct HeifGridTiles {
    std::vector<std::uint32_t> tiles;
    std::vector<std::size_t> flagOffsets;
    int orientation = 1;
};
std::optional<HeifGridTiles> heifGridTiles(const std::uint8_t* data, std::size_t size);

}  // namespace lumigal
