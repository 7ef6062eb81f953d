// A video's thumbnail: its poster frame (video_frames: about a tenth of the
// way in, a dark frame passed over, upright) made into a thumbnail exactly
// as an image file is (imaging/thumbnail.h): the same options, size,
// contrast stretch and formats, and no metadata.
#pragma once

#include <string>
#include <vector>

#include "imaging/thumbnail.h"
#include "imaging/video_probe.h"

namespace lumigal {

// RenderThumbnail for a video: `args` is the same command line (program
// name, options, the video, the output name, e.g. "Lumigal" "-quality"
// "99" "-contrast" VIDEO OUTPUT), `size` the thumbnail's size as shown
// (thumbnailSizeFor over VideoInfo's width and height). The video is opened
// once and read within 10 seconds; the frame is decoded at no more than
// twice the thumbnail's size. Without a format in the output's name
// (a "JPEG:" prefix or its extension), the thumbnail is a JPEG. Given
// `info`, the video's probe is put there. On any result but
// kThumbnailWritten, `error` (when given) says why, in French.
int RenderVideoPoster(const std::vector<std::string>& args, ThumbnailSize size,
                      EncodedThumbnail& encoded, std::string* error = nullptr,
                      VideoInfo* info = nullptr);

// RenderPhotoThumbnails for a video: its poster frame as a photo thumbnail
// (the tones kept, sRGB, a web quality, no metadata) and its 2x, with
// `request.sourceWidth` x `sourceHeight` the video's size as shown.
int RenderVideoPhotoThumbnails(const PhotoThumbnailRequest& request, PhotoThumbnails& made,
                               std::string* error = nullptr, VideoInfo* info = nullptr);

// The same as RenderVideoPoster, and the thumbnail written (writeThumbnailFile).
int MakeVideoPoster(const std::vector<std::string>& args, ThumbnailSize size,
                    std::string* error = nullptr, VideoInfo* info = nullptr);

}  // namespace lumigal
