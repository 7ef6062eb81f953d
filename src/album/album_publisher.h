// What an album publishes of its photos, for the page writer and the
// gallery: a portable album's copies, then the thumbnails, made by the same
// workers under one memory bound, reported to one observer and stopped by
// its cancel, with the records of the album's folder kept up to date.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "album/album_model.h"
#include "album/page_writer.h"
#include "album/progress.h"
#include "album/settings.h"
#include "imaging/photo_metadata.h"
#include "imaging/video_probe.h"

namespace lumigal {

// What the workers may hold together. One job alone may take more.
inline constexpr std::uint64_t kDecodeBudget = std::uint64_t{96} << 20;

// Thrown on the calling thread when the observer says the work is to stop.
struct GenerationCancelled {};

// The last component of `path` ("a/b.jpg" -> "b.jpg").
std::string fileNameOf(const std::string& path);

void stopWhenCancelled(const ProgressObserver& progress);

// A thumbnail placed on the page: what the page shows for `source` (its
// thumbnail, or the source itself), at what size, with the image's caption
// and, for a modern page, the rest of its metadata.
struct PlacedThumbnail {
    const std::string* source = nullptr;
    bool showsSource = false;
    std::string thumbnail;
    std::string thumbnail2x;  // empty: none
    FittedSize size;
    std::string caption;
    const PhotoMetadata* metadata = nullptr;
    std::size_t sourceWidth = 0, sourceHeight = 0;
    const VideoInfo* video = nullptr;  // a video's probe; null for a photo
};
using PlaceThumbnail = std::function<void(const PlacedThumbnail&)>;

// What the page links to for each source: a portable album's copy, or the
// source itself.
class LinkTargets {
public:
    void setCopy(const std::string* source, std::string copy) { copies_[source] = std::move(copy); }
    const std::string& of(const std::string* source) const {
        const auto it = copies_.find(source);
        return it == copies_.end() ? *source : it->second;
    }
    // The thumbnails the page shows.
    void addThumbnail(std::string thumbnail) { thumbnails_.push_back(std::move(thumbnail)); }
    const std::vector<std::string>& thumbnails() const { return thumbnails_; }

private:
    std::unordered_map<const std::string*, std::string> copies_;
    std::vector<std::string> thumbnails_;
};

// Makes the thumbnails of the page with `workers` workers and places each
// image that has one, in order; `placed` gets the images placed. Progress
// positions are the images' indexes in `paths`.
void makeThumbnails(const std::vector<const std::string*>& paths,
                    std::vector<const std::string*>& placed, const PageSettings& page,
                    const Preferences& prefs, int workers, LinkTargets& targets,
                    ProgressObserver& progress, const PlaceThumbnail& place);

// A portable album's copies; the sources without one are left out of
// `paths` (and reported).
void copyForPortableAlbum(std::vector<const std::string*>& paths, LinkTargets& targets,
                          const PageSettings& page, int workers, ProgressObserver& progress);

// One album of a gallery: its copies and thumbnails (in the folder of
// `page`, which is portable and in thumbnail mode) and the model of each
// photo published, in the order of `paths`, its paths relative to
// `outputFolder`. `copies` and `thumbnails` list the files the album links
// (absolute), for the removal of those it links no more.
struct PublishedImages {
    std::vector<AlbumImage> images;
    std::vector<std::string> copies, thumbnails;
};
PublishedImages publishAlbumImages(std::vector<const std::string*> paths, const PageSettings& page,
                                   const Preferences& prefs, int workers,
                                   ProgressObserver& progress, const std::string& outputFolder);

}  // namespace lumigal
