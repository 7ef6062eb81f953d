// The thumbnail maker over an image that another reader decodes (a video's
// poster frame): the same options, scale, contrast stretch, format and
// metadata as for an image file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "imaging/thumbnail.h"
#include "magick_image.h"

namespace lumigal {

// The image of an input of the argument vector, given the thumbnail's size
// (as shown): upright, at least as large as it where the source allows;
// nullptr with `error` set (French) when it cannot be decoded.
using ThumbnailSource =
    std::function<ImagePtr(const std::string& input, ThumbnailSize size, std::string& error)>;

// RenderThumbnail with its inputs read by `source` (an empty one: the image
// files read as RenderThumbnail reads them).
int renderThumbnailFrom(const ThumbnailSource& source, const std::vector<std::string>& args,
                        ThumbnailSize size, EncodedThumbnail& encoded, std::string* error);

// RenderPhotoThumbnails with the request's source read by `source` (an
// empty one: the image file read as RenderPhotoThumbnails reads it).
int renderPhotoThumbnailsFrom(const ThumbnailSource& source, const PhotoThumbnailRequest& request,
                              PhotoThumbnails& made, std::string* error);

}  // namespace lumigal
