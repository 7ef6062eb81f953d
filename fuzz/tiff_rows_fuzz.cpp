// The TIFF row reader over arbitrary bytes: whatever the tags and strips
// say, it reads within the data and gives an image of exactly kReducedHint
// times the hint, or nothing. The hint is 1 x 1, so that every image large
// enough to be reduced is read row by row.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "decode_limits.h"
#include "imaging/image_library.h"
#include "tiff_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool started = (lumigal::startImageLibrary(), true);
    (void)started;
    (void)lumigal::tiffRowsReadable(data, size);
    const lumigal::ImagePtr image = lumigal::readTiffReduced(data, size, 1, 1, std::uint64_t{1} << 22);
    if (image && (image->columns != lumigal::kReducedHint || image->rows != lumigal::kReducedHint)) std::abort();
    return 0;
}
