// The album model: what a published album holds, built once from the
// photos (their headers, metadata, copies and thumbnails) and then given to
// the renderers, which are pure functions of it (they read no file and start
// no work).
//
// Every path in the model is relative to the gallery's output folder (the
// folder of its index page), with '/' between levels and not URL-escaped;
// a renderer makes the links of a page relative to the page's own folder.
// No path of the machine is ever part of what a renderer reads, except
// `AlbumImage::source`, which no renderer uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumigal {

// When a photo was taken (or, without metadata, its file's time).
struct CaptureTime {
    // Sorts the photos: seconds since 1970-01-01 00:00 UTC; a time written
    // without an offset counts as UTC.
    std::int64_t key = 0;
    std::string iso;    // "2026-06-14T15:02:00" or "2026-06-14T15:02:00+02:00": a <time datetime>
    std::string shown;  // "14/06/2026 15:02", as the pages show it
    bool fromMetadata = false;  // false: the file's modification time
};

// A thumbnail file and its size in pixels.
struct AlbumPicture {
    std::string path;  // empty: none
    unsigned width = 0, height = 0;
};

// What a video adds to its entry: its link is the video, its thumbnail
// its poster frame.
struct AlbumVideo {
    double duration = 0;  // seconds; 0 when unknown
    std::string codec;    // FFmpeg's short name of its video codec ("h264", "hevc")
    // Whether today's browsers all play it: H.264 (with AAC or no sound)
    // in MP4/M4V, VP8/VP9/AV1 (with Opus, Vorbis or no sound) in WebM.
    bool playsEverywhere = false;
};

struct AlbumImage {
    std::string source;  // the photo on this machine: never shown
    std::string name;    // its file name (not escaped)
    // The photo's address inside its album: the fragment "#id" of the page
    // that shows it. Unique within the album, made of [a-z0-9-] only, stable
    // from one run to the next for the same file name.
    std::string id;
    std::string caption;  // from its metadata; empty: none (not escaped)
    std::optional<CaptureTime> taken;
    // The camera and its settings in one line, as the viewer shows them
    // ("Canon EOS 80D · 35 mm · f/5,6 · 1/250 s · ISO 200"); empty: none.
    std::string camera;
    // What the album serves: the file its page links (a copy in the album,
    // or the photo itself), its size in bytes and its dimensions as shown.
    std::string link;
    std::uint64_t linkBytes = 0;
    unsigned width = 0, height = 0;
    bool linksOriginal = false;  // the link is the photo as it was taken (offered for download)
    AlbumPicture thumbnail;      // what the tile shows
    AlbumPicture thumbnail2x;    // the same at twice the size, for HiDPI screens; may be empty
    std::optional<AlbumVideo> video;  // a video rather than a photo
};

struct Album {
    std::string title;        // the folder's name, or what its album.txt says
    std::string description;  // from album.txt; may be empty (not escaped)
    // Its folder, relative to the gallery's output folder: "" for the
    // index, else "2026/06 Bretagne". The album's pages lie there.
    std::string folder;
    std::vector<AlbumImage> images;  // in the order of its pages
    std::vector<Album> albums;       // its sub-albums, in order
    AlbumPicture cover;              // its cover's thumbnail
    std::size_t photoCount = 0;      // its photos and those of all its sub-albums
    std::size_t videoCount = 0;      // how many of those are videos
    std::optional<CaptureTime> first, last;  // the dates of those photos
    std::string zip;  // a ZIP of its copies, relative to the output folder; empty: none
    std::uint64_t zipBytes = 0;
};

}  // namespace lumigal
