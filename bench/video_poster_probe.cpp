// video_poster_probe - makes one video's poster thumbnail as the album
// would: the video probed, the thumbnail fitted within MAX x MAX with its
// proportions kept, made by MakeVideoPoster with the page writer's options.
//
// usage: video_poster_probe VIDEO OUTPUT.jpg MAX
// Exit status 0 when the thumbnail was written; the reason on stderr else.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/image_library.h"
#include "imaging/video_poster.h"
#include "imaging/video_probe.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: video_poster_probe VIDEO OUTPUT.jpg MAX\n");
        return 2;
    }
    using namespace lumigal;
    startImageLibrary();
    const std::string video = argv[1];
    const unsigned max = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    std::string error;
    const auto info = probeVideoFile(video, error);
    if (!info || max == 0) {
        std::fprintf(stderr, "%s: %s\n", video.c_str(), error.c_str());
        return 1;
    }
    const bool wide = info->width >= info->height;
    const auto side = [&](std::size_t a, std::size_t b) {
        return static_cast<unsigned>(std::max<std::size_t>(1, (a * max + b / 2) / b));
    };
    const ThumbnailSize size = wide ? ThumbnailSize{max, side(info->height, info->width)}
                                    : ThumbnailSize{side(info->width, info->height), max};
    if (MakeVideoPoster({"Lumigal", "-quality", "99", "-contrast", video, std::string("JPEG:") + argv[2]},
                        size, &error) != kThumbnailWritten) {
        std::fprintf(stderr, "%s: %s\n", video.c_str(), error.c_str());
        return 1;
    }
    return 0;
}
