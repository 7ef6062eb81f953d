// Undoes the filter of one row of PNG image data (8 bits a sample): the
// five filter types, with the previous row already undone (zeros above the
// first row).
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumigal {

// Replaces `row` (`length` bytes, `bpp` bytes a pixel, 1 to 8) by its
// unfiltered samples; `prior` is the row above, unfiltered. False for a
// filter type that does not exist (the row is then left as it was).
bool unfilterPngRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
                    std::size_t bpp);

}  // namespace lumigal
