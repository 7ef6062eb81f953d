// Video files recognised by their content, never by their name: the first
// bytes tell the container (an ISO media "ftyp" box and its brands, an EBML
// header and its document type, a RIFF AVI header).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumigal {

enum class VideoFormat { MP4, MOV, M4V, ThreeGP, WebM, MKV, AVI };

// The container's usual name, as a page or a message shows it ("MP4",
// "MOV", "M4V", "3GP", "WebM", "MKV", "AVI").
const char* videoFormatName(VideoFormat format);

// The container a file name's extension (dot included, case ignored)
// names: .mp4, .mov and .qt, .m4v, .3gp and .3g2, .webm, .mkv, .avi;
// nullopt for any other. What the file is goes by its content
// (sniffVideoFormat); the name only tells which files to look into.
std::optional<VideoFormat> videoFormatOfExtension(std::string_view extension);

// How many bytes from the start of a file sniffVideoFormat looks at, at most.
inline constexpr std::size_t kVideoSniffBytes = 512;

// The container of video data by its first bytes; nullopt for anything
// else. An ISO media file of the HEIF family (HEIC, AVIF: what
// sniffImageFormat takes) is an image, never a video, and an audio-only
// brand (M4A, M4B) is no video either.
std::optional<VideoFormat> sniffVideoFormat(const std::uint8_t* data, std::size_t size);

// The container of the file at `path` by its first bytes, read through a
// descriptor opened without blocking (a FIFO, a device or a folder is
// nullopt, as is a file that cannot be read).
std::optional<VideoFormat> sniffVideoFile(const std::string& path);

}  // namespace lumigal
