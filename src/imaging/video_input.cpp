#include "video_input.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/mem.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/system_error.h"

namespace lumigal {

namespace {

// No allocation of FFmpeg's may be larger than this (a claimed table of a
// billion entries is refused rather than attempted).
constexpr std::size_t kMaxVideoAllocation = std::size_t{128} << 20;
constexpr int kIoBufferBytes = 32 << 10;

// FFmpeg's settings for the whole process: it writes nothing to the
// terminal (every failure is told by our own messages).
void setUpLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(kMaxVideoAllocation);
    });
}

// The demuxer of each container.
const char* demuxerOf(VideoFormat format) {
    switch (format) {
        case VideoFormat::WebM:
        case VideoFormat::MKV:
            return "matroska";
        case VideoFormat::AVI:
            return "avi";
        default:
            return "mov";
    }
}

// A demuxer never opens another file (a movie's references to others, a
// playlist's entries): every such request is refused.
int refuseOtherFiles(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

}  // namespace

int VideoInput::readPacket(void* opaque, std::uint8_t* buffer, int size) {
    auto* self = static_cast<VideoInput*>(opaque);
    if (self->deadline_.passed()) return AVERROR_EXIT;
    const std::int64_t left = self->size_ - self->position_;
    if (left <= 0 || size <= 0) return AVERROR_EOF;
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(left, size));
    if (!self->data_) {
        ssize_t n;
        do {
            n = ::pread(self->fd_, buffer, wanted, self->position_);
        } while (n < 0 && errno == EINTR);
        if (n < 0) return AVERROR(errno);
        if (n == 0) return AVERROR_EOF;  // shorter than it was
        self->position_ += n;
        return static_cast<int>(n);
    }
    std::memcpy(buffer, self->data_ + self->position_, wanted);
    self->position_ += static_cast<std::int64_t>(wanted);
    return static_cast<int>(wanted);
}

std::int64_t VideoInput::seek(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<VideoInput*>(opaque);
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return self->size_;
        case SEEK_SET:
            break;
        case SEEK_CUR:
            base = self->position_;
            break;
        case SEEK_END:
            base = self->size_;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (offset > self->size_ - base || base + offset < 0) return AVERROR(EINVAL);
    self->position_ = base + offset;
    return self->position_;
}

int VideoInput::interrupted(void* opaque) {
    return static_cast<const VideoInput*>(opaque)->deadline_.passed() ? 1 : 0;
}

VideoInput::~VideoInput() {
    if (format_) avformat_close_input(&format_);
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<VideoInput> VideoInput::openFile(const std::string& path, const Deadline& deadline,
                                                 std::string& error) {
    // O_NONBLOCK: opening a FIFO without a writer must not wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "impossible d'ouvrir : " +
                platform::errnoText(errno, platform::FileAccess::Reading);
        return nullptr;
    }
    return openOwned(fd, deadline, error);
}

std::unique_ptr<VideoInput> VideoInput::openDescriptor(int fd, const Deadline& deadline,
                                                       std::string& error) {
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        error = "impossible d'ouvrir : " +
                platform::errnoText(errno, platform::FileAccess::Reading);
        return nullptr;
    }
    return openOwned(own, deadline, error);
}

std::unique_ptr<VideoInput> VideoInput::openOwned(int fd, const Deadline& deadline,
                                                  std::string& error) {
    std::unique_ptr<VideoInput> input(new VideoInput(deadline));
    input->fd_ = fd;
    struct stat st {};
    if (::fstat(input->fd_, &st) != 0) {
        error = "impossible d'ouvrir : " +
                platform::errnoText(errno, platform::FileAccess::Reading);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "n'est pas un fichier ordinaire";
        return nullptr;
    }
    input->size_ = st.st_size;
    if (!input->open(error)) return nullptr;
    return input;
}

std::unique_ptr<VideoInput> VideoInput::openData(const std::uint8_t* data, std::size_t size,
                                                 const Deadline& deadline, std::string& error) {
    std::unique_ptr<VideoInput> input(new VideoInput(deadline));
    input->data_ = data;
    input->size_ = static_cast<std::int64_t>(size);
    if (!input->open(error)) return nullptr;
    return input;
}

bool VideoInput::open(std::string& error) {
    setUpLibraries();
    if (size_ == 0) {
        error = "fichier vide";
        return false;
    }
    std::uint8_t head[kVideoSniffBytes];
    const int got = readPacket(this, head, sizeof head);
    position_ = 0;
    const std::optional<VideoFormat> sniffed =
        got > 0 ? sniffVideoFormat(head, static_cast<std::size_t>(got)) : std::nullopt;
    if (!sniffed) {
        error = got < 0 && got != AVERROR_EOF ? kVideoDamaged : "format vidéo non reconnu";
        return false;
    }
    container_ = *sniffed;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
    if (buffer) io_ = avio_alloc_context(buffer, kIoBufferBytes, 0, this, readPacket, nullptr, seek);
    if (!io_) av_free(buffer);
    format_ = io_ ? avformat_alloc_context() : nullptr;
    if (!format_) {
        error = kVideoTooLarge;
        return false;
    }
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    format_->interrupt_callback = {interrupted, this};
    format_->io_open = refuseOtherFiles;
    format_->probesize = kVideoProbeBytes;
    format_->max_analyze_duration = kVideoAnalyzeMicroseconds;
    format_->max_streams = 64;
    const AVInputFormat* demuxer = av_find_input_format(demuxerOf(container_));
    // On failure the context is freed (and set to null), the I/O left to us.
    if (!demuxer || avformat_open_input(&format_, nullptr, demuxer, nullptr) < 0) {
        error = failure(kVideoDamaged);
        return false;
    }
    AVStream* video = videoStream();
    if (!video) {
        error = failure("aucune image dans la vidéo");
        return false;
    }
    // Only when the header does not tell the frame's size are packets read
    // for it (bounded by the probe size and analysis time).
    if ((video->codecpar->width <= 0 || video->codecpar->height <= 0 ||
         video->codecpar->codec_id == AV_CODEC_ID_NONE) &&
        avformat_find_stream_info(format_, nullptr) < 0) {
        error = failure(kVideoDamaged);
        return false;
    }
    if (deadline_.passed()) {
        error = kVideoTooLong;
        return false;
    }
    return true;
}

AVStream* VideoInput::videoStream() const {
    if (!format_) return nullptr;
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        AVStream* stream = format_->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            return stream;
        }
    }
    return nullptr;
}

int streamRotation(const AVStream& stream) {
    const std::uint8_t* matrix = nullptr;
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
    if (const AVPacketSideData* side =
            av_packet_side_data_get(stream.codecpar->coded_side_data,
                                    stream.codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
        side && side->size >= 9 * sizeof(std::int32_t)) {
        matrix = side->data;
    }
#else
    std::size_t size = 0;
    matrix = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (size < 9 * sizeof(std::int32_t)) matrix = nullptr;
#endif
    double degrees = 0;
    if (matrix) {
        // Counter-clockwise in the matrix; NaN for a degenerate one.
        const double counter = av_display_rotation_get(reinterpret_cast<const std::int32_t*>(matrix));
        if (std::isfinite(counter)) degrees = -counter;
    } else if (const AVDictionaryEntry* tag = av_dict_get(stream.metadata, "rotate", nullptr, 0)) {
        char* end = nullptr;
        const double value = std::strtod(tag->value, &end);
        if (end != tag->value && *end == '\0' && std::isfinite(value)) degrees = value;
    }
    if (!(std::fabs(degrees) < 1e6)) degrees = 0;
    // The nearest quarter turn, within 0 to 359.
    const long quarters = std::lround(degrees / 90.0);
    return static_cast<int>(((quarters % 4) + 4) % 4) * 90;
}

}  // namespace lumigal
