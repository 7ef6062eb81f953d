// The video probe and poster over arbitrary bytes in memory, with the
// limits of a file's read: the container sniffed, its demuxer opened, the
// video described and its poster decoded at a thumbnail's size; and the
// place blanked from the same bytes, which must keep their length.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/video_location_strip.h"
#include "video_frames.h"
#include "video_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lumigal;
    if (const auto format = sniffVideoFormat(data, size)) {
        std::string bytes(reinterpret_cast<const char*>(data), size);
        blankVideoLocation(bytes, *format);
        if (bytes.size() != size) __builtin_trap();
    }
    std::string error;
    const Deadline deadline;
    const auto input = VideoInput::openData(data, size, deadline, error);
    if (!input) return 0;
    const auto info = probeInput(*input, error);
    if (!info) return 0;
    if (info->width == 0 || info->height == 0) __builtin_trap();
    const auto poster = decodePoster(*input, *info, 64, 48, error);
    if (poster && (poster->width > 64 || poster->height > 48 ||
                   poster->samples.size() != poster->width * poster->height * 3)) {
        __builtin_trap();
    }
    return 0;
}
