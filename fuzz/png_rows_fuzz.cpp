// The PNG row reader over arbitrary bytes: whatever the chunks and the
// compressed data say, it reads within them, gives at most the rows asked
// for, and says the image complete only when every row came.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "png_idat_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // The first bytes choose the shape: up to 256 pixels a row, 64 rows, 1 to 4 bytes a pixel.
    const std::size_t bpp = 1 + data[0] % 4;
    const std::size_t width = 1 + data[1];
    const std::size_t height = 1 + data[2] % 64;
    lumigal::PngIdatRows rows(data + 3, size - 3, 0, width * bpp, height, bpp);
    std::size_t given = 0;
    while (const std::uint8_t* row = rows.next()) {
        volatile std::uint8_t sum = 0;
        for (std::size_t i = 0; i < width * bpp; ++i) sum = static_cast<std::uint8_t>(sum + row[i]);
        if (++given > height) std::abort();
    }
    if (rows.complete() != (given == height)) std::abort();
    return 0;
}
