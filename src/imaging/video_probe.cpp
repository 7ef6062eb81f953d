#include "imaging/video_probe.h"

#include <cmath>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "video_input.h"
#include "video_metadata.h"

namespace lumigal {

namespace {

const char* tag(const AVDictionary* metadata, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
    return entry ? entry->value : nullptr;
}

// A phone's local time with its offset first (QuickTime's creation date),
// else the container's creation time (UTC), else a stream's.
void readCaptureTimeOf(const AVFormatContext& format, const AVStream& video, VideoInfo& info) {
    const char* const keys[] = {"com.apple.quicktime.creationdate", "creation_time", "date"};
    for (const AVDictionary* metadata : {format.metadata, video.metadata}) {
        for (const char* key : keys) {
            const char* value = tag(metadata, key);
            if (value && readCaptureTime(value, info.captureTime, info.captureOffset)) return;
        }
    }
}

bool holdsLocation(const AVDictionary* metadata) {
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX))) {
        if (namesLocation(entry->key) && entry->value && *entry->value) return true;
    }
    return false;
}

double durationOf(const AVFormatContext& format, const AVStream& video) {
    double seconds = 0;
    if (format.duration != AV_NOPTS_VALUE && format.duration > 0) {
        seconds = static_cast<double>(format.duration) / AV_TIME_BASE;
    } else if (video.duration != AV_NOPTS_VALUE && video.duration > 0 && video.time_base.den > 0) {
        seconds = static_cast<double>(video.duration) * av_q2d(video.time_base);
    }
    // A length of more than a year is no camera's: taken as unknown.
    constexpr double kLongest = 366.0 * 24 * 3600;
    return std::isfinite(seconds) && seconds > 0 && seconds <= kLongest ? seconds : 0;
}

// The pixel aspect ratio, 1 when unknown or absurd.
double pixelAspect(const AVStream& video) {
    AVRational sar = video.sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0) sar = video.codecpar->sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0) return 1;
    const double ratio = av_q2d(sar);
    return ratio >= 0.1 && ratio <= 10 ? ratio : 1;
}

}  // namespace

std::optional<VideoInfo> probeInput(const VideoInput& input, std::string& error) {
    const AVFormatContext& format = *input.format();
    const AVStream* video = input.videoStream();
    if (!video) {
        error = "aucune image dans la vidéo";
        return std::nullopt;
    }
    const AVCodecParameters& codec = *video->codecpar;
    if (codec.width <= 0 || codec.height <= 0) {
        error = kVideoDamaged;
        return std::nullopt;
    }
    const auto width = static_cast<std::size_t>(codec.width);
    const auto height = static_cast<std::size_t>(codec.height);
    const auto shownWidth =
        static_cast<std::size_t>(std::max(1.0, std::round(static_cast<double>(width) * pixelAspect(*video))));
    if (width > kMaxVideoSide || height > kMaxVideoSide || shownWidth > kMaxVideoSide ||
        std::uint64_t{width} * height > kMaxVideoArea ||
        av_image_get_buffer_size(static_cast<AVPixelFormat>(codec.format), codec.width,
                                 codec.height, 1) > kMaxVideoFrameBytes) {
        error = kVideoTooLarge;
        return std::nullopt;
    }
    VideoInfo info;
    info.container = input.container();
    info.rotation = streamRotation(*video);
    const bool quarter = info.rotation == 90 || info.rotation == 270;
    info.width = quarter ? height : shownWidth;
    info.height = quarter ? shownWidth : height;
    info.duration = durationOf(format, *video);
    info.codec = avcodec_get_name(codec.codec_id);
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVCodecParameters& stream = *format.streams[i]->codecpar;
        if (stream.codec_type == AVMEDIA_TYPE_AUDIO) {
            info.audioCodec = avcodec_get_name(stream.codec_id);
            break;
        }
    }
    info.fileSize = input.fileSize();
    readCaptureTimeOf(format, *video, info);
    info.hasLocation = holdsLocation(format.metadata);
    for (unsigned i = 0; i < format.nb_streams && !info.hasLocation; ++i) {
        info.hasLocation = holdsLocation(format.streams[i]->metadata);
    }
    return info;
}

std::optional<VideoInfo> probeVideoFile(const std::string& path, std::string& error) {
    const Deadline deadline;
    const std::unique_ptr<VideoInput> input = VideoInput::openFile(path, deadline, error);
    return input ? probeInput(*input, error) : std::nullopt;
}

std::optional<VideoInfo> probeVideoDescriptor(int fd, std::string& error) {
    const Deadline deadline;
    const std::unique_ptr<VideoInput> input = VideoInput::openDescriptor(fd, deadline, error);
    return input ? probeInput(*input, error) : std::nullopt;
}

std::optional<VideoInfo> probeVideoData(const std::uint8_t* data, std::size_t size,
                                        std::string& error) {
    const Deadline deadline;
    const std::unique_ptr<VideoInput> input = VideoInput::openData(data, size, deadline, error);
    return input ? probeInput(*input, error) : std::nullopt;
}

bool playsInBrowsers(const VideoInfo& video) {
    const std::string& a = video.audioCodec;
    switch (video.container) {
        case VideoFormat::MP4:
        case VideoFormat::M4V:
            return video.codec == "h264" && (a.empty() || a == "aac" || a == "mp3");
        case VideoFormat::WebM:
            return (video.codec == "vp8" || video.codec == "vp9" || video.codec == "av1") &&
                   (a.empty() || a == "opus" || a == "vorbis");
        default:
            return false;
    }
}

}  // namespace lumigal
