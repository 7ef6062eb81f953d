#include "video_frames.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>

namespace lumigal {

namespace {

struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleDeleter>;

// The video codecs whose decoders may run: those of cameras, phones and the
// web, and of older camcorders and screen recorders. Any other is refused
// before its decoder sees a byte.
constexpr AVCodecID kDecodedCodecs[] = {
    AV_CODEC_ID_H264,       AV_CODEC_ID_HEVC,       AV_CODEC_ID_VP8,   AV_CODEC_ID_VP9,
    AV_CODEC_ID_AV1,        AV_CODEC_ID_MPEG4,      AV_CODEC_ID_H263,  AV_CODEC_ID_MJPEG,
    AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_PRORES, AV_CODEC_ID_DVVIDEO,
    AV_CODEC_ID_MSMPEG4V3,  AV_CODEC_ID_THEORA,     AV_CODEC_ID_VC1,   AV_CODEC_ID_WMV3,
};

bool decoded(AVCodecID id) {
    return std::find(std::begin(kDecodedCodecs), std::end(kDecodedCodecs), id) !=
           std::end(kDecodedCodecs);
}

// The size the poster is made at: the frame as shown, fitted within the
// box and never enlarged, at least one pixel each way.
struct Fitted {
    std::size_t width, height;
};
Fitted fit(std::size_t width, std::size_t height, std::size_t maxWidth, std::size_t maxHeight) {
    const double scale = std::min({1.0, static_cast<double>(maxWidth) / static_cast<double>(width),
                                   static_cast<double>(maxHeight) / static_cast<double>(height)});
    return {std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(width * scale))),
            std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(height * scale)))};
}

// The EXIF orientation of a clockwise turn (orientPixels applies it).
int orientationOf(int rotation) {
    switch (rotation) {
        case 90:
            return 6;
        case 180:
            return 3;
        case 270:
            return 8;
        default:
            return 1;
    }
}

int coefficientsOf(const AVFrame& frame) {
    switch (frame.colorspace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        case AVCOL_SPC_SMPTE240M:
            return SWS_CS_SMPTE240M;
        case AVCOL_SPC_FCC:
            return SWS_CS_FCC;
        case AVCOL_SPC_UNSPECIFIED:
            // Untagged high definition is nearly always Rec. 709.
            return frame.height >= 720 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
        default:
            return SWS_CS_DEFAULT;
    }
}

bool fullRange(const AVFrame& frame) {
    if (frame.color_range == AVCOL_RANGE_JPEG) return true;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
    return desc && std::string_view(desc->name).substr(0, 4) == "yuvj";
}

// Each frame the decoder asks memory for is bounded by its depth and
// chroma as well as its area (`opaque` says when one was refused).
int boundedBuffer(AVCodecContext* codec, AVFrame* frame, int flags) {
    const int bytes = av_image_get_buffer_size(static_cast<AVPixelFormat>(frame->format),
                                               frame->width, frame->height, 1);
    if (bytes < 0 || bytes > kMaxVideoFrameBytes) {
        *static_cast<bool*>(codec->opaque) = true;
        return AVERROR(ENOMEM);
    }
    return avcodec_default_get_buffer2(codec, frame, flags);
}

class PosterMaker {
public:
    PosterMaker(const VideoInput& input, const VideoInfo& info, std::size_t maxWidth,
                std::size_t maxHeight)
        : input_(input), info_(info), maxWidth_(maxWidth), maxHeight_(maxHeight) {}

    std::optional<Pixels> run(std::string& error);

private:
    bool openDecoder(std::string& error);
    void seekToStart();
    // Looks at a decoded frame; true once the poster is chosen.
    bool consider(const AVFrame& frame);
    std::optional<Pixels> convert(const AVFrame& frame);
    double secondsOf(const AVFrame& frame) const;

    const VideoInput& input_;
    const VideoInfo& info_;
    std::size_t maxWidth_, maxHeight_;
    AVStream* stream_ = nullptr;
    CodecPtr codec_;
    ScalePtr scale_;
    double next_ = -1;  // the time of the next frame looked at; -1: the first
    double step_ = 0.5;
    int tries_ = 0;
    int frames_ = 0;
    unsigned brightest_ = 0;
    bool seen_ = false;  // a frame was looked at: `best_` is the brightest
    Pixels best_;
    bool chosen_ = false;
    bool refused_ = false;  // a frame too large for its memory
};

bool PosterMaker::openDecoder(std::string& error) {
    stream_ = input_.videoStream();
    const AVCodecParameters& parameters = *stream_->codecpar;
    const AVCodec* decoder = decoded(parameters.codec_id) ? avcodec_find_decoder(parameters.codec_id)
                                                          : nullptr;
    if (!decoder) {
        error = std::string("codec vidéo non pris en charge : ") + avcodec_get_name(parameters.codec_id);
        return false;
    }
    codec_.reset(avcodec_alloc_context3(decoder));
    if (!codec_ || avcodec_parameters_to_context(codec_.get(), &parameters) < 0) {
        error = kVideoTooLarge;
        return false;
    }
    codec_->pkt_timebase = stream_->time_base;
    // One thread: a single frame in flight, and the memory of one decode.
    codec_->thread_count = 1;
    codec_->max_pixels = static_cast<std::int64_t>(kMaxVideoArea);
    codec_->get_buffer2 = boundedBuffer;
    codec_->opaque = &refused_;
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) {
        error = kVideoDamaged;
        return false;
    }
    return true;
}

// About a tenth of the way in, from the key frame before it. A video whose
// length is unknown, or that cannot seek, is read from its start.
void PosterMaker::seekToStart() {
    if (!(info_.duration > 0 && info_.duration < 1e9)) return;
    step_ = std::max(0.5, info_.duration / 20);
    const double target = info_.duration / 10;
    std::int64_t at = av_rescale_q(static_cast<std::int64_t>(target * AV_TIME_BASE), AV_TIME_BASE_Q,
                                   stream_->time_base);
    if (stream_->start_time != AV_NOPTS_VALUE) at += stream_->start_time;
    if (av_seek_frame(input_.format(), stream_->index, at, AVSEEK_FLAG_BACKWARD) < 0) {
        av_seek_frame(input_.format(), stream_->index, 0, AVSEEK_FLAG_BACKWARD);
    }
}

double PosterMaker::secondsOf(const AVFrame& frame) const {
    std::int64_t pts = frame.best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) pts = frame.pts;
    if (pts == AV_NOPTS_VALUE || stream_->time_base.den <= 0) {
        return frames_ / 25.0;  // a frame rate as good as any
    }
    if (stream_->start_time != AV_NOPTS_VALUE) pts -= stream_->start_time;
    return static_cast<double>(pts) * av_q2d(stream_->time_base);
}

std::optional<Pixels> PosterMaker::convert(const AVFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0 ||
        static_cast<std::size_t>(frame.width) > kMaxVideoSide ||
        static_cast<std::size_t>(frame.height) > kMaxVideoSide) {
        return std::nullopt;
    }
    // The frame as shown (its pixel aspect and turn), fitted; then the
    // stored size that turns into it.
    const bool quarter = info_.rotation == 90 || info_.rotation == 270;
    const double aspect = info_.height > 0 && info_.width > 0
                              ? (quarter ? static_cast<double>(info_.height) / info_.width
                                         : static_cast<double>(info_.width) / info_.height)
                              : static_cast<double>(frame.width) / frame.height;
    const auto storedShownWidth = static_cast<std::size_t>(
        std::clamp(std::lround(frame.height * aspect), 1L, static_cast<long>(kMaxVideoSide)));
    const std::size_t shownWidth = quarter ? static_cast<std::size_t>(frame.height) : storedShownWidth;
    const std::size_t shownHeight = quarter ? storedShownWidth : static_cast<std::size_t>(frame.height);
    const Fitted shown = fit(shownWidth, shownHeight, maxWidth_, maxHeight_);
    const int width = static_cast<int>(quarter ? shown.height : shown.width);
    const int height = static_cast<int>(quarter ? shown.width : shown.height);
    const auto format = static_cast<AVPixelFormat>(frame.format);
    scale_.reset(sws_getCachedContext(scale_.release(), frame.width, frame.height, format, width,
                                      height, AV_PIX_FMT_RGB24, SWS_AREA, nullptr, nullptr, nullptr));
    if (!scale_) return std::nullopt;
    const int* coefficients = sws_getCoefficients(coefficientsOf(frame));
    // Refused for a source that is not YUV, which then needs none.
    sws_setColorspaceDetails(scale_.get(), coefficients, fullRange(frame) ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    std::uint8_t* planes[4] = {};
    int strides[4] = {};
    if (av_image_alloc(planes, strides, width, height, AV_PIX_FMT_RGB24, 32) < 0) return std::nullopt;
    const std::unique_ptr<std::uint8_t, decltype(&av_free)> owned(planes[0], &av_free);
    if (sws_scale(scale_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) != height) {
        return std::nullopt;
    }
    Pixels image;
    image.width = static_cast<std::size_t>(width);
    image.height = static_cast<std::size_t>(height);
    image.channels = 3;
    image.samples.resize(image.width * image.height * 3);
    for (std::size_t y = 0; y < image.height; ++y) {
        std::memcpy(image.samples.data() + y * image.width * 3, planes[0] + y * strides[0],
                    image.width * 3);
    }
    return orientPixels(std::move(image), orientationOf(info_.rotation));
}

bool PosterMaker::consider(const AVFrame& frame) {
    ++frames_;
    const double at = secondsOf(frame);
    if (at < next_ && frames_ < kMaxPosterFrames) return false;
    std::optional<Pixels> image = convert(frame);
    if (!image) return false;
    ++tries_;
    const unsigned luma = meanLuma(*image);
    if (!seen_ || luma > brightest_) {
        brightest_ = luma;
        best_ = std::move(*image);
        seen_ = true;
    }
    next_ = at + step_;
    return brightest_ >= kDarkFrameLuma || tries_ >= kPosterTries || frames_ >= kMaxPosterFrames;
}

std::optional<Pixels> PosterMaker::run(std::string& error) {
    if (!openDecoder(error)) return std::nullopt;
    seekToStart();
    const PacketPtr packet(av_packet_alloc());
    const FramePtr frame(av_frame_alloc());
    if (!packet || !frame) {
        error = kVideoTooLarge;
        return std::nullopt;
    }
    bool keySeen = false;  // frames before the first key frame are not whole
    bool ended = false;
    while (!chosen_ && !input_.deadline().passed()) {
        if (!ended) {
            const int read = av_read_frame(input_.format(), packet.get());
            if (read < 0) {
                ended = true;
                avcodec_send_packet(codec_.get(), nullptr);  // what the decoder still holds
            } else {
                const bool ours = packet->stream_index == stream_->index;
                keySeen = keySeen || (ours && (packet->flags & AV_PKT_FLAG_KEY));
                // A damaged packet is passed over: a later one may decode.
                if (ours && keySeen) avcodec_send_packet(codec_.get(), packet.get());
                av_packet_unref(packet.get());
            }
        }
        int got;
        while ((got = avcodec_receive_frame(codec_.get(), frame.get())) == 0) {
            chosen_ = consider(*frame);
            av_frame_unref(frame.get());
            if (chosen_ || input_.deadline().passed()) break;
        }
        if (ended && got != 0) break;
    }
    // Out of time, the brightest frame seen so far will do.
    if (!seen_) {
        error = input_.failure(refused_ ? kVideoTooLarge : "aucune image lisible dans la vidéo");
        return std::nullopt;
    }
    return std::move(best_);
}

}  // namespace

unsigned meanLuma(const Pixels& image) {
    if (image.channels < 3 || image.samples.empty()) return 0;
    std::uint64_t sum = 0;
    const auto n = static_cast<std::size_t>(image.channels);
    std::size_t count = 0;
    for (std::size_t i = 0; i + 2 < image.samples.size(); i += n, ++count) {
        sum += 299u * image.samples[i] + 587u * image.samples[i + 1] + 114u * image.samples[i + 2];
    }
    return count ? static_cast<unsigned>(sum / (count * 1000)) : 0;
}

std::optional<Pixels> decodePoster(const VideoInput& input, const VideoInfo& info,
                                   std::size_t maxWidth, std::size_t maxHeight,
                                   std::string& error) {
    if (maxWidth == 0 || maxHeight == 0 || !input.videoStream()) {
        error = "aucune image lisible dans la vidéo";
        return std::nullopt;
    }
    PosterMaker maker(input, info, maxWidth, maxHeight);
    return maker.run(error);
}

}  // namespace lumigal
