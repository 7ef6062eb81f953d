// What a video file tells about itself without its frames being decoded:
// its container, the size its frames are shown at, how long it runs, its
// codecs, when it was shot and whether it holds the place.
//
// A video is read through its own descriptor, opened once and without
// blocking (a FIFO, a device or a folder is refused), by the demuxer of the
// container its content shows; a read stops after 10 seconds at most, and
// frames claimed over 16384 pixels a side (or over 8K's area) are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "imaging/video_format.h"

namespace lumigal {

struct VideoInfo {
    VideoFormat container = VideoFormat::MP4;
    // The size as shown: the pixel aspect ratio applied, width and height
    // swapped for a video turned a quarter (a phone held upright).
    std::size_t width = 0;
    std::size_t height = 0;
    // The turn that shows the frames upright, degrees clockwise: 0, 90, 180
    // or 270.
    int rotation = 0;
    double duration = 0;  // seconds; 0 when unknown
    // FFmpeg's short names of the codecs ("h264", "hevc", "vp9", "av1";
    // "aac", "opus"), the audio one empty without sound.
    std::string codec;
    std::string audioCodec;
    std::int64_t fileSize = 0;
    // When it was shot, "YYYY-MM-DDTHH:MM:SS", and its offset from UTC
    // ("+02:00"); both empty when unknown. A phone's local time with its
    // offset when the file has it, else the container's creation time,
    // which is in UTC ("+00:00").
    std::string captureTime;
    std::string captureOffset;
    // The metadata name the place it was shot at (ISO 6709 "location"
    // keys, QuickTime's ©xyz): a published copy must leave it out.
    bool hasLocation = false;
};

// Whether today's browsers all play the video as it is: H.264 with AAC,
// MP3 or no sound in MP4 or M4V; VP8, VP9 or AV1 with Opus, Vorbis or no
// sound in WebM. HEVC, a MOV or an AVI, say, plays in some only.
bool playsInBrowsers(const VideoInfo& video);

// The video at `path`; nullopt with `error` set (French, without the file's
// name: whoever shows it names the file) when it cannot be read, is not
// one of the containers, holds no video stream or is too large.
std::optional<VideoInfo> probeVideoFile(const std::string& path, std::string& error);

// The same through the caller's descriptor `fd` (a source opened once):
// read at its own offsets, `fd` left open and where it was.
std::optional<VideoInfo> probeVideoDescriptor(int fd, std::string& error);

// The same for a video's bytes in memory.
std::optional<VideoInfo> probeVideoData(const std::uint8_t* data, std::size_t size,
                                        std::string& error);

}  // namespace lumigal
