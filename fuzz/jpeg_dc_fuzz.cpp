// The DC-only JPEG reader and the header readers on arbitrary bytes: they
// never read outside the data, an image the reader returns has the size its
// frame header tells, and an orientation is always one of the eight.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/jpeg_dc.h"
#include "imaging/jpeg_markers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const int orientation : {lumigal::jpegOrientation(data, size), lumigal::tiffOrientation(data, size)}) {
        if (orientation < 1 || orientation > 8) std::abort();
    }
    if (const auto memory = lumigal::jpegFrameMemory(data, size)) {
        // A frame of some size holds some coefficients.
        if (memory->width > 0 && memory->height > 0 && memory->coefficientBytes == 0) std::abort();
    }
    const auto frame = lumigal::progressiveJpegFrame(data, size);
    const auto image = lumigal::decodeJpegEighth(data, size, std::uint64_t{1} << 22);
    if (!image) return 0;
    if (!frame) std::abort();  // decoded what the frame reader refused
    if (image->width != (frame->width + 7) / 8 || image->height != (frame->height + 7) / 8 ||
        image->channels != (frame->components == 1 ? 1 : 3) ||
        image->pixels.size() != image->width * image->height * std::size_t(image->channels)) {
        std::abort();
    }
    return 0;
}
