// The DC-only JPEG reader on arbitrary bytes: it never reads outside the
// data, and an image it returns has the size its frame header tells.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "album/jpeg_dc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
