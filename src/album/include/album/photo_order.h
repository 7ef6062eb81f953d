// The order of an album's photos and of its sub-albums: by name, by the
// time the photos were taken, or as they were found, and each of those
// reversed. A photo's time is its metadata's (DateTimeOriginal with its
// offset when the file gives one, else CreateDate), else its file's time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "album/album_model.h"
#include "settings/settings_schema.h"

namespace lumigal {

enum class PhotoOrder { Name, Date, None };

// The order `page` asks for (its sortOrder); `unset` when it asks none.
PhotoOrder photoOrderOf(const PageSettings& page, PhotoOrder unset);

// The time of a photo from its metadata fields ("2026-06-14T15:02:00" and
// "+02:00" or ""); nullopt when the text is no such time.
std::optional<CaptureTime> captureTimeFrom(const std::string& dateTime, const std::string& offset);

// The time of a file modified `mtimeNs` nanoseconds after 1970 (UTC).
CaptureTime fileTime(std::int64_t mtimeNs);

// What a photo (or an album) is ordered by: its name and its time.
struct OrderKey {
    const std::string* name = nullptr;
    const CaptureTime* taken = nullptr;  // null: none
};
// The order of `keys` as indexes into it (see orderImages).
std::vector<std::size_t> orderOf(const std::vector<OrderKey>& keys, PhotoOrder order, bool reverse);

// Sorts the photos: by name (case ignored, as the folder scan lists them),
// by time (those without one last), or keeps their order; `reverse` turns
// the order round (the time's: photos of the same time stay in name order).
// Ties go by name, then by the given order (the sort is stable).
void orderImages(std::vector<AlbumImage>& images, PhotoOrder order, bool reverse);

// The same for albums: by title, or by the time of their newest photo.
void orderAlbums(std::vector<Album>& albums, PhotoOrder order, bool reverse);

}  // namespace lumigal
