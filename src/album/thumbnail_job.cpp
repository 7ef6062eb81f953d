#include "thumbnail_job.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "album/captions.h"
#include "album/portable_copies.h"
#include "album/published_source.h"
#include "common/paths.h"
#include "imaging/decode_cost.h"
#include "imaging/video_poster.h"

namespace lumigal {

namespace {

// A portable album with web copies makes its thumbnails from the copies.
bool thumbnailsFromWebCopies(const PageSettings& page) { return page.portable && page.webSize > 0; }

// Whether `copy` is a copy of `source` in another format: its name then
// ends otherwise (a copy byte for byte keeps the source's extension).
bool reencoded(const std::string& copy, const std::string& source) {
    if (&copy == &source) return false;
    const std::string a = splitPath(copy).extension, b = splitPath(source).extension;
    return !std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Writes the thumbnails made for `job` (readable by no more people than
// `pixels`) and makes their records.
void finishThumbnailJob(ThumbnailJob& job, PhotoThumbnails& encoded, const std::string& pixels,
                        const PageSettings& page, const std::optional<FileStamp>& stamp,
                        const std::optional<FittedSize>& two) {
    struct stat from {};
    const unsigned mode = ::stat(pixels.c_str(), &from) == 0 ? publishedMode(from.st_mode) : 0600;
    for (EncodedThumbnail* file : {encoded.twice ? &*encoded.twice : nullptr, &encoded.one}) {
        if (!file) continue;
        file->mode = mode;
        if (!writeThumbnailFile(*file, job.error)) {
            job.made = kThumbnailNotMade;
            return;
        }
    }
    const std::optional<FileStamp> written = stampOfFile(job.names.page);
    if (!stamp || !written) return;
    const auto recordOf = [&](const FileStamp& thumbnail, unsigned scale) {
        ThumbnailRecord r;
        r.sourceStamp = *stamp;
        r.sourceWidth = job.header->width;
        r.sourceHeight = job.header->height;
        r.width = scale * page.width;
        r.height = scale * page.height;
        r.thumbnailStamp = thumbnail;
        return r;
    };
    job.record = recordOf(*written, 1);
    if (!encoded.twice) return;
    if (const std::optional<FileStamp> written2x = stampOfFile(job.names2x.page)) {
        job.size2x = two;
        job.record2x = recordOf(*written2x, 2);
    }
}

// A video's header as the page needs it: its size as shown.
ImageHeader headerOf(const VideoInfo& video) {
    ImageHeader header;
    header.width = video.width;
    header.height = video.height;
    header.fileSize = video.fileSize;
    header.format = ImageFormat::JPEG;  // what its poster is
    return header;
}

// What decoding a video's poster holds: its frames in flight, in YUV at
// full size, and the poster in RGB.
std::uint64_t posterCost(const VideoInfo& video) {
    return std::uint64_t{video.width} * video.height * 12;
}

// The thumbnail of a video: its poster frame, made as a photo's is.
void makeVideoJob(ThumbnailJob& job, const std::string& source, const std::string& pixels,
                  const PageSettings& page, const ThumbnailRecords& records, MemoryGate& memory,
                  bool doubles) {
    // The file checked (a portable album's copy) is the one probed and read.
    job.video = probeVideoFile(pixels, job.error);
    if (!job.video) return;
    job.header = headerOf(*job.video);
    const std::optional<FileStamp> stamp = stampOfFile(source);
    const std::optional<FittedSize> two = doubles ? thumbnail2xSizeOf(*job.header, page) : std::nullopt;
    if (stamp && records.upToDate(job.names.page, job.names.maker, recipeOf(page), source, *stamp,
                                  page.width, page.height) &&
        (!two || records.upToDate(job.names2x.page, job.names2x.maker, recipe2xOf(page), source, *stamp,
                                  2 * page.width, 2 * page.height))) {
        job.made = kThumbnailWritten;
        job.upToDate = true;
        job.size2x = two;
        return;
    }
    const FittedSize size = thumbnailSizeOf(*job.header, page);
    PhotoThumbnails encoded;
    {
        const MemoryHold hold(memory, posterCost(*job.video));
        if (makesPhotoThumbnails(page)) {
            PhotoThumbnailRequest request;
            request.source = pixels;
            request.output = job.names.maker;
            request.size = ThumbnailSize{size.width, size.height};
            request.sourceWidth = job.video->width;
            request.sourceHeight = job.video->height;
            if (two) request.output2x = job.names2x.page;
            job.made = RenderVideoPhotoThumbnails(request, encoded, &job.error);
        } else {
            job.made = RenderVideoPoster({"Lumigal", "-quality", "99", "-contrast", pixels, job.names.maker},
                                         ThumbnailSize{size.width, size.height}, encoded.one, &job.error);
        }
    }
    if (job.made != kThumbnailWritten) return;
    finishThumbnailJob(job, encoded, pixels, page, stamp, two);
}

}  // namespace

bool makesPhotoThumbnails(const PageSettings& page) { return page.style == kStyleModern; }

std::string recipeOf(const PageSettings& page) {
    std::string recipe;
    if (makesPhotoThumbnails(page)) {
        recipe = keepsProportions(page) ? kFittedPhotoThumbnailRecipe : kPhotoThumbnailRecipe;
    } else {
        recipe = keepsProportions(page) ? kFittedThumbnailRecipe : kThumbnailRecipe;
    }
    if (thumbnailsFromWebCopies(page)) recipe += " -from-web-copy " + std::to_string(page.webSize);
    return recipe;
}

std::string recipe2xOf(const PageSettings& page) { return recipeOf(page) + kDoubledRecipe; }

FittedSize thumbnailSizeOf(const ImageHeader& header, const PageSettings& page) {
    return thumbnailSizeFor(header.width, header.height, page.width, page.height,
                            keepsProportions(page));
}

std::optional<FittedSize> thumbnail2xSizeOf(const ImageHeader& header, const PageSettings& page) {
    const FittedSize one = thumbnailSizeOf(header, page);
    const FittedSize two{2 * one.width, 2 * one.height};
    CopySize pixels{header.width, header.height};
    if (thumbnailsFromWebCopies(page)) pixels = webCopySize(header.width, header.height, page.webSize);
    if (pixels.width < two.width || pixels.height < two.height) return std::nullopt;
    return two;
}

void makeThumbnailJob(ThumbnailJob& job, const std::string& source, const std::string& pixels,
                      const PageSettings& page, const ThumbnailRecords& records, MemoryGate& memory) {
    // A byte-for-byte copy is read rather than its source: it is the file
    // that was checked, whatever the source's name leads to now.
    const std::string& shown = page.portable && page.webSize == 0 ? pixels : source;
    const bool captioned = page.style == kStyleModern;
    // A copy made in another format (a HEIC or TIFF as JPEG) carries no
    // metadata: the caption is the source's.
    const std::string& described = reencoded(shown, source) ? source : shown;
    if (job.names.page.empty()) {
        job.error = "aucun nom libre pour sa vignette";
        return;
    }
    const bool doubles = makesPhotoThumbnails(page) && !job.names2x.page.empty();
    // The scan took a file of a video's name only when its content is one.
    if (videoFormatOfExtension(splitPath(pixels).extension) && sniffVideoFile(pixels)) {
        makeVideoJob(job, source, pixels, page, records, memory, doubles);
        return;
    }
    const std::optional<FileStamp> stamp = stampOfFile(source);
    if (stamp) {
        if (const ThumbnailRecord* r = records.upToDate(job.names.page, job.names.maker,
                                                        recipeOf(page), source, *stamp,
                                                        page.width, page.height)) {
            ImageHeader header;
            header.width = r->sourceWidth;
            header.height = r->sourceHeight;
            // A 2x that is due is up to date too, or both are made again.
            const std::optional<FittedSize> two = doubles ? thumbnail2xSizeOf(header, page) : std::nullopt;
            if (!two || records.upToDate(job.names2x.page, job.names2x.maker, recipe2xOf(page), source,
                                         *stamp, 2 * page.width, 2 * page.height)) {
                job.header = header;
                job.made = kThumbnailWritten;
                job.upToDate = true;
                job.size2x = two;
                if (captioned) {
                    job.metadata = imageMetadata(described);
                    job.caption = job.metadata.caption;
                }
                return;
            }
        }
    }
    {
        // The header read holds the file's bytes (twice while it strips
        // metadata): it waits for its share too.
        const std::uint64_t bytes = stamp ? 2 * static_cast<std::uint64_t>(stamp->size) : 0;
        const MemoryHold hold(memory, bytes);
        PhotoMetadata metadata;
        job.header = pingImageFile(shown, job.error, captioned && &described == &shown ? &metadata : nullptr);
        if (captioned) {
            job.metadata = &described == &shown ? std::move(metadata) : imageMetadata(described);
            job.caption = job.metadata.caption;
        }
    }
    if (!job.header) return;
    // The page shows the source's size; the copy's header says what its
    // decoding costs.
    std::optional<ImageHeader> decoded = job.header;
    if (&pixels != &shown) {
        decoded = pingImageFile(pixels, job.error);
        if (!decoded) return;
    }
    const FittedSize size = thumbnailSizeOf(*job.header, page);
    const std::optional<FittedSize> two = doubles ? thumbnail2xSizeOf(*job.header, page) : std::nullopt;
    PhotoThumbnails encoded;
    {
        const FittedSize largest = two.value_or(size);
        const MemoryHold hold(memory, decodeCost(*decoded, largest.width, largest.height));
        if (makesPhotoThumbnails(page)) {
            PhotoThumbnailRequest request;
            request.source = pixels;
            request.output = job.names.maker;
            request.size = ThumbnailSize{size.width, size.height};
            request.sourceWidth = decoded->width;
            request.sourceHeight = decoded->height;
            if (two) request.output2x = job.names2x.page;
            job.made = RenderPhotoThumbnails(request, encoded, &job.error);
        } else {
            job.made = RenderThumbnail({"Lumigal", "-quality", "99", "-contrast", pixels, job.names.maker},
                                       ThumbnailSize{size.width, size.height}, encoded.one, &job.error);
        }
    }
    if (job.made != kThumbnailWritten) return;
    finishThumbnailJob(job, encoded, pixels, page, stamp, two);
}

}  // namespace lumigal
