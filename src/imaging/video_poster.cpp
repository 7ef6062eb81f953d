#include "imaging/video_poster.h"

#include "thumbnail_source.h"
#include "video_frames.h"
#include "video_input.h"

namespace lumigal {

namespace {

// The poster's pixels as an image of the image library, taken for a JPEG
// where the output's name tells no format.
ImagePtr imageOf(const Pixels& pixels) {
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr image(ConstituteImage(pixels.width, pixels.height, "RGB", CharPixel,
                                   pixels.samples.data(), exception.get()));
    if (!image || exception->severity >= ErrorException) return nullptr;
    CopyMagickString(image->magick, magickName(ImageFormat::JPEG), MaxTextExtent);
    return image;
}

// The poster of the video at `path` at no more than twice `wanted`, its
// probe put in `info` when given.
ThumbnailSource posterOf(VideoInfo* info) {
    return [info](const std::string& path, ThumbnailSize wanted, std::string& message) -> ImagePtr {
        const Deadline deadline;
        const std::unique_ptr<VideoInput> input = VideoInput::openFile(path, deadline, message);
        if (!input) return nullptr;
        const std::optional<VideoInfo> probed = probeInput(*input, message);
        if (!probed) return nullptr;
        if (info) *info = *probed;
        const std::optional<Pixels> pixels =
            decodePoster(*input, *probed, 2 * std::size_t{wanted.width},
                         2 * std::size_t{wanted.height}, message);
        if (!pixels) return nullptr;
        ImagePtr image = imageOf(*pixels);
        if (!image) message = kVideoTooLarge;
        return image;
    };
}

}  // namespace

int RenderVideoPoster(const std::vector<std::string>& args, ThumbnailSize size,
                      EncodedThumbnail& encoded, std::string* error, VideoInfo* info) {
    return renderThumbnailFrom(posterOf(info), args, size, encoded, error);
}

int RenderVideoPhotoThumbnails(const PhotoThumbnailRequest& request, PhotoThumbnails& made,
                               std::string* error, VideoInfo* info) {
    return renderPhotoThumbnailsFrom(posterOf(info), request, made, error);
}

int MakeVideoPoster(const std::vector<std::string>& args, ThumbnailSize size, std::string* error,
                    VideoInfo* info) {
    EncodedThumbnail encoded;
    const int made = RenderVideoPoster(args, size, encoded, error, info);
    if (made != kThumbnailWritten) return made;
    std::string message;
    if (!writeThumbnailFile(encoded, message)) {
        if (error) *error = message;
        return kThumbnailNotMade;
    }
    return kThumbnailWritten;
}

}  // namespace lumigal
