// The caption a photo carries in its own metadata, for the modern page: the
// XMP description (dc:description), else the IPTC caption (2:120), else the
// EXIF ImageDescription. Only JPEG files carry them here; the segments
// before the first scan are read, at most kMaxCaptionScan bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumigal {

inline constexpr std::size_t kMaxCaptionScan = std::size_t{1} << 20;
inline constexpr std::size_t kMaxCaptionBytes = 2000;

// The caption of the JPEG data `data`, as UTF-8 text (Latin-1 read as
// such), control characters as spaces, blanks trimmed, at most
// kMaxCaptionBytes long; empty when there is none. Not escaped.
std::string jpegCaption(const std::uint8_t* data, std::size_t size);

// The caption of the file at `path`; empty when it has none or cannot be read.
std::string imageCaption(const std::string& path);

}  // namespace lumigal
