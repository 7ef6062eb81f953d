// The thumbnail maker: thumbnail file names and a small command processor
// over ImageMagick that reads the input, applies the options, scales the
// image to exactly width x height pixels, stretches its contrast and writes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumigal {

struct ThumbnailNames {
    std::string maker;  // given to MakeThumbnail ("JPEG:" prefix for JPEG thumbnails)
    std::string page;   // written in the page
};

// `pathThumbnail` is the thumbnail folder (the caller puts the page's own
// folder there when the setting is empty). A `newFormat` outside 0 to 3
// is taken as PNG. Keeping the same format, a HEIC/HEIF or TIFF source
// (by its extension) gets a JPEG thumbnail: browsers do not show those as
// images; nor a video's poster (.mp4 .mov .m4v .3gp .3g2 .webm .mkv .avi).
// With `newFormat` kCopyNames (and `keepSameFormat`), the names are those
// of a portable album's copies: a video's copy is the video, and keeps its
// extension.
inline constexpr int kCopyNames = -1;
ThumbnailNames thumbnailFileName(const std::string& source, const std::string& pathThumbnail,
                                 bool keepSameFormat, int newFormat);

struct ThumbnailSize {
    unsigned width = 0;
    unsigned height = 0;
};

enum ThumbnailResult {
    kThumbnailWritten = 0,   // ran to its end and wrote the file
    kThumbnailBadOption = 1, // an option lacks its argument or has a bad one
    kThumbnailNotMade = 2,   // no input could be read, the size is 0, or the write failed
};

// A thumbnail encoded in memory and the file it is meant for.
struct EncodedThumbnail {
    std::string path;  // without the "JPEG:" prefix
    std::vector<std::uint8_t> bytes;
    unsigned mode = 0666;  // the file's permission bits (the umask applies)
};

// MakeThumbnail without the write: the thumbnail is only encoded.
int RenderThumbnail(const std::vector<std::string>& args, ThumbnailSize size,
                    EncodedThumbnail& encoded, std::string* error = nullptr);

// Writes the thumbnail through a temporary file renamed into place (never a
// partial file); false with `error` set (French) otherwise.
bool writeThumbnailFile(const EncodedThumbnail& encoded, std::string& error);

// `args` as a command line: program name, options, input files, output name.
// The page writer passes "Lumigal" "-quality" "99" "-contrast" SOURCE OUTPUT.
// On any result but kThumbnailWritten, `error` (when given) says why, in French.
int MakeThumbnail(const std::vector<std::string>& args, ThumbnailSize size,
                  std::string* error = nullptr);

// The thumbnails of modern and gallery pages: the photo as it is (its
// tones, no contrast stretch), in sRGB, at a web quality, without metadata;
// with, when asked, a copy twice as wide and high for HiDPI screens. Both
// come from one read and one decoding: the source is reduced to the 2x
// size first, and the 1x is made from those pixels.
inline constexpr std::size_t kPhotoThumbnailQuality = 82;
struct PhotoThumbnailRequest {
    std::string source;    // the file read
    std::string output;    // the 1x name: a "JPEG:" prefix or its extension chooses the format
    ThumbnailSize size;    // the 1x size, as shown
    std::string output2x;  // the 2x name (same format as the 1x); empty: no 2x
    std::size_t quality = kPhotoThumbnailQuality;
    // The source's size as shown, when the caller has read its header
    // already; 0: its header is read here (a 2x needs it).
    std::size_t sourceWidth = 0, sourceHeight = 0;
};
struct PhotoThumbnails {
    EncodedThumbnail one;
    // The 2x, twice `size`: absent when none was asked for, or when the
    // decoded image is smaller than that (it is never enlarged).
    std::optional<EncodedThumbnail> twice;
};
// The codes of MakeThumbnail; `error` (when given) says why, in French.
int RenderPhotoThumbnails(const PhotoThumbnailRequest& request, PhotoThumbnails& made,
                          std::string* error = nullptr);

}  // namespace lumigal
