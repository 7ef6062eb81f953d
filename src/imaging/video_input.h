// A video opened for reading through FFmpeg's libraries, within bounds:
// the file is opened once, without blocking, and read only when it is a
// regular file; the demuxer is the one of the container that the content
// shows (never FFmpeg's own guess), it opens no other file, and every read
// stops at a deadline. The imaging library's own; no public header sees
// FFmpeg.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/video_format.h"

namespace lumigal {

// How long reading one video may take in all: its probe and its poster.
inline constexpr std::chrono::seconds kVideoReadTime{10};
// The largest frame decoded: 16384 pixels a side, and an area that leaves
// room for an 8K frame (7680 x 4320) in a few hundred megabytes.
inline constexpr std::size_t kMaxVideoSide = 16384;
inline constexpr std::uint64_t kMaxVideoArea = std::uint64_t{8192} * 4352;
// And the memory of one decoded frame, its depth and chroma counted: an 8K
// frame of 8 bits in 4:2:0 (53 MB), not of 10 bits; a 4K frame of any kind.
inline constexpr std::int64_t kMaxVideoFrameBytes = std::int64_t{80} << 20;
// What the demuxer may read to learn the streams' parameters when the
// header does not tell them.
inline constexpr std::int64_t kVideoProbeBytes = std::int64_t{4} << 20;
inline constexpr std::int64_t kVideoAnalyzeMicroseconds = 3'000'000;

// The messages (French, without the file's name: whoever shows one names
// the file).
inline constexpr const char* kVideoTooLong = "lecture de la vidéo trop longue : abandonnée";
inline constexpr const char* kVideoDamaged = "vidéo illisible ou endommagée";
inline constexpr const char* kVideoTooLarge = "vidéo trop grande";

class Deadline {
public:
    explicit Deadline(std::chrono::steady_clock::duration within = kVideoReadTime)
        : end_(std::chrono::steady_clock::now() + within) {}
    bool passed() const { return std::chrono::steady_clock::now() >= end_; }

private:
    std::chrono::steady_clock::time_point end_;
};

class VideoInput {
public:
    // The file at `path`, its demuxer opened; nullptr with `error` set.
    static std::unique_ptr<VideoInput> openFile(const std::string& path, const Deadline& deadline,
                                                std::string& error);
    // The same through a descriptor of the caller's (read from its own
    // duplicate, at its own offsets: the caller's is left as it is).
    static std::unique_ptr<VideoInput> openDescriptor(int fd, const Deadline& deadline,
                                                      std::string& error);
    // The same over bytes in memory (they must outlive the input).
    static std::unique_ptr<VideoInput> openData(const std::uint8_t* data, std::size_t size,
                                                const Deadline& deadline, std::string& error);
    ~VideoInput();
    VideoInput(const VideoInput&) = delete;
    VideoInput& operator=(const VideoInput&) = delete;

    AVFormatContext* format() const { return format_; }
    VideoFormat container() const { return container_; }
    std::int64_t fileSize() const { return size_; }
    const Deadline& deadline() const { return deadline_; }
    // The video stream shown (not a cover picture); nullptr without one.
    AVStream* videoStream() const;
    // `fallback`, or the deadline's message once it has passed.
    const char* failure(const char* fallback) const {
        return deadline_.passed() ? kVideoTooLong : fallback;
    }

private:
    explicit VideoInput(const Deadline& deadline) : deadline_(deadline) {}
    bool open(std::string& error);
    // Takes `fd` (closed with the input), checks it is a regular file and opens.
    static std::unique_ptr<VideoInput> openOwned(int fd, const Deadline& deadline,
                                                 std::string& error);
    static int readPacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);
    static int interrupted(void* opaque);

    Deadline deadline_;
    int fd_ = -1;                          // the file, or -1 for bytes in memory
    const std::uint8_t* data_ = nullptr;   // the bytes in memory
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
    VideoFormat container_ = VideoFormat::MP4;
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
};

// The rotation that shows the stream upright, in degrees clockwise: 0, 90,
// 180 or 270 (its display matrix, else an older "rotate" tag).
int streamRotation(const AVStream& stream);

}  // namespace lumigal

#include <optional>

#include "imaging/video_probe.h"

namespace lumigal {

// What the opened input tells of its video (video_probe.h); nullopt with
// `error` set when its frames are claimed too large or have no size.
std::optional<VideoInfo> probeInput(const VideoInput& input, std::string& error);

}  // namespace lumigal
