// The HEIF box walk over arbitrary bytes: it reads within the data, ends,
// and what it lists of a grid lies within the data too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "heif_boxes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const lumigal::HeifBoxCounts counts = lumigal::countHeifBoxes(data, size);
    (void)lumigal::heifBoxesWithinBounds(counts);
    if (const auto grid = lumigal::heifGridTiles(data, size)) {
        if (grid->tiles.empty() || grid->tiles.size() != grid->flagOffsets.size() ||
            grid->tiles.size() > lumigal::kMaxHeifItems) {
            std::abort();
        }
        for (std::size_t at : grid->flagOffsets) {
            if (at >= size) std::abort();
        }
    }
    return 0;
}
