// One image's thumbnail, made (or found up to date) by a page writer's
// worker, and what the calling thread needs of it.
#pragma once

#include <optional>
#include <string>

#include "album/memory_gate.h"
#include "album/page_writer.h"
#include "album/settings.h"
#include "album/thumbnail_names.h"
#include "album/thumbnail_record.h"
#include "imaging/image_io.h"
#include "imaging/photo_metadata.h"
#include "imaging/thumbnail.h"
#include "imaging/video_probe.h"

namespace lumigal {

// What the workers found out about one image, for the calling thread.
struct ThumbnailJob {
    ThumbnailNames names;  // empty when no free name was found
    // The 2x thumbnail's names (photo thumbnails only; empty: none asked).
    ThumbnailNames names2x;
    // Filled by the worker:
    std::optional<ImageHeader> header;
    int made = kThumbnailNotMade;
    std::string error;
    std::string caption;  // for the modern page
    PhotoMetadata metadata;  // the same, with the rest of what the photo says
    // A video: what its probe found (its thumbnail is its poster frame).
    std::optional<VideoInfo> video;
    // The thumbnail was found up to date: its record is already there.
    bool upToDate = false;
    // The record of a new thumbnail, without its names: the calling thread
    // fills them in, so that what stays until the end is not allocated
    // among a worker's short-lived buffers, where it would keep the
    // worker's heap from being reused.
    std::optional<ThumbnailRecord> record;
    // The 2x thumbnail's size when its file `names2x.page` is there (made
    // or up to date), and the record of a new one (as `record`).
    std::optional<FittedSize> size2x;
    std::optional<ThumbnailRecord> record2x;
};

// Whether the thumbnails of `page` are photo thumbnails (see
// RenderPhotoThumbnails: the tones kept, a web quality, a 2x beside each):
// those of modern pages and galleries. The classic page keeps its recipe.
bool makesPhotoThumbnails(const PageSettings& page);

// The recipes that photo thumbnails are recorded with (the number changes
// when the same options give other thumbnails); a 2x adds kDoubledRecipe.
inline constexpr const char* kPhotoThumbnailRecipe = "photo 1 -quality 82";
inline constexpr const char* kFittedPhotoThumbnailRecipe = "photo 1 -quality 82 -fit";
inline constexpr const char* kDoubledRecipe = " -2x";

// The recipe a page's thumbnails are recorded with.
std::string recipeOf(const PageSettings& page);

// The recipe of the 2x thumbnails of `page`.
std::string recipe2xOf(const PageSettings& page);

// The size of the thumbnail of an image of `header` on `page`.
FittedSize thumbnailSizeOf(const ImageHeader& header, const PageSettings& page);

// The size of the 2x thumbnail: twice the thumbnail's in both directions,
// when the pixels it is made from (the image, or its web copy) are at least
// that large; nullopt otherwise (the image gets no 2x rather than an
// enlarged one, and the page offers the 1x alone).
std::optional<FittedSize> thumbnail2xSizeOf(const ImageHeader& header, const PageSettings& page);

// Makes (or finds up to date) the thumbnail of one image; runs on a worker.
// Its pixels come from `pixels`: the source itself, or its web copy (as
// upright as the source is shown, and a fraction of its size to decode).
void makeThumbnailJob(ThumbnailJob& job, const std::string& source, const std::string& pixels,
                      const PageSettings& page, const ThumbnailRecords& records, MemoryGate& memory);

}  // namespace lumigal
