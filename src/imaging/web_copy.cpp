#include "imaging/web_copy.h"

#include <magick/api.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "decode_limits.h"
#include "imaging/image_library.h"
#include "imaging/jpeg_markers.h"
#include "jpeg_codec.h"
#include "magick_image.h"
#include "pixels.h"
#include "png_codec.h"
#include "reduced_read.h"
#include "row_resizer.h"

namespace lumigal {

namespace {

struct BlobDeleter {
    void operator()(void* blob) const { RelinquishMagickMemory(blob); }
};
using BlobPtr = std::unique_ptr<void, BlobDeleter>;

constexpr int kWebJpegQuality = 85;

// The memory of one copy, asked once: without waiting first while the
// file is held, then, after letting it go, waiting.
class Reservation {
public:
    explicit Reservation(const MemoryReserve& reserve) : reserve_(reserve) {}
    // Whether the memory is held (or nobody counts it); false: let the
    // file go, call wait() and start again.
    bool take(std::uint64_t bytes) {
        if (held_ || !reserve_) return true;
        held_ = reserve_(bytes, waiting_);
        return held_;
    }
    void wait() { waiting_ = true; }

private:
    const MemoryReserve& reserve_;
    bool waiting_ = false;
    bool held_ = false;
};

enum class Step { Done, NotHandled, Failed, Wait };

Step stepOf(DecodeResult result) {
    switch (result) {
        case DecodeResult::Done:
            return Step::Done;
        case DecodeResult::NotHandled:
            return Step::NotHandled;
        case DecodeResult::Failed:
            break;
    }
    return Step::Failed;
}

DecodeLimits decodeLimits() {
    DecodeLimits limits;
    limits.maxSide = static_cast<std::size_t>(
        std::min(GetMagickResourceLimit(WidthResource), GetMagickResourceLimit(HeightResource)));
    limits.maxArea = GetMagickResourceLimit(AreaResource);
    limits.maxMemory = GetMaxMemoryRequest();
    return limits;
}

// --- Through the image library: the formats without a reader of our own.

// The image reduced to `size`, upright, read small where its format allows.
ImagePtr readReduced(const std::string& source, const ImageHeader& header, std::size_t width,
                     std::size_t height, std::string& error) {
    ImagePtr image;
    if (header.format == ImageFormat::PNG && header.orientation == 1) {
        std::string ignored;
        image = readPngReduced(source, width, height, ignored);
    }
    if (!image) {
        image = readImageFirstFrame(source, error,
                                    std::to_string(width) + "x" + std::to_string(height));
    }
    if (!image) return nullptr;
    if (image->columns != width || image->rows != height) {
        ExceptionPtr exception(AcquireExceptionInfo());
        ImagePtr resized(ResizeImage(image.get(), width, height, TriangleFilter, 1.0,
                                     exception.get()));
        if (!resized || exception->severity >= ErrorException) {
            error = "mémoire insuffisante pour la réduire";
            return nullptr;
        }
        image = std::move(resized);
    }
    return image;
}

bool encodeThroughLibrary(const std::string& source, const ImageHeader& header, std::size_t width,
                          std::size_t height, std::string& bytes, std::string& error) {
    ImagePtr image = readReduced(source, header, width, height, error);
    if (!image) return false;
    // What tells where and when it was taken goes; the colour profile stays.
    dropMetadata(*image);
    const ImageInfoPtr info(AcquireImageInfo());
    // A format that browsers do not show (HEIC, TIFF) is copied as a JPEG.
    const ImageFormat made = browserShows(header.format) ? header.format : ImageFormat::JPEG;
    const char* format = magickName(made);
    CopyMagickString(info->magick, format, MaxTextExtent);
    CopyMagickString(image->magick, format, MaxTextExtent);
    info->adjoin = MagickFalse;
    if (made == ImageFormat::JPEG) {
        info->quality = kWebJpegQuality;
        image->quality = kWebJpegQuality;
        info->interlace = NoInterlace;
    }
    ExceptionPtr exception(AcquireExceptionInfo());
    std::size_t length = 0;
    const BlobPtr blob(ImageToBlob(info.get(), image.get(), &length, exception.get()));
    if (!blob || length == 0 || exception->severity >= ErrorException) {
        error = std::string("impossible de coder sa copie en ") + format;
        return false;
    }
    bytes.assign(static_cast<const char*>(blob.get()), length);
    return true;
}

// What the image library's path holds: a decode at up to twice the size
// each way and the reduced copy, 16 bits a sample, and the file.
std::uint64_t libraryCost(std::size_t width, std::size_t height, std::int64_t fileSize) {
    return 4 * std::uint64_t{width} * height * 8 + std::uint64_t{width} * height * 8 +
           2 * static_cast<std::uint64_t>(fileSize > 0 ? fileSize : 0);
}

// --- Through our own readers and writers.

// What a decode to `width` x `height` holds besides the file: the resizer,
// the reduced image, its upright copy, the encoded copy.
std::uint64_t pixelCost(std::size_t fromWidth, std::size_t fromHeight, std::size_t width,
                        std::size_t height, int channels) {
    const std::uint64_t image = std::uint64_t{width} * height * static_cast<std::uint64_t>(channels);
    return RowResizer::workingBytes(fromWidth, fromHeight, width, height, channels) + 3 * image +
           std::uint64_t{fromWidth} * static_cast<std::uint64_t>(channels) * 16;
}

Step jpegCopy(const FileBytes& file, std::size_t width, std::size_t height, Reservation& memory,
              std::string& bytes, std::string& error) {
    const std::uint8_t* data = file.data.data();
    const std::size_t size = file.data.size();
    const std::optional<JpegFrameMemory> frame = jpegFrameMemory(data, size);
    if (!frame) {
        error = "image illisible ou endommagée";
        return Step::Failed;
    }
    if (frame->multiScan && frame->coefficientBytes > kMaxJpegCoefficientBytes) {
        error = "image trop grande";
        return Step::Failed;
    }
    if (!jpegHandled(data, size)) return Step::NotHandled;
    const int orientation = storedOrientation(ImageFormat::JPEG, data, size);
    const bool quarter = orientation >= 5;
    const std::size_t storedWidth = quarter ? height : width;
    const std::size_t storedHeight = quarter ? width : height;
    const int n = jpegScaleDenominator(frame->width, frame->height, storedWidth, storedHeight);
    const auto scaled = [n](std::size_t side) { return (side + n - 1) / static_cast<std::size_t>(n); };
    if (!memory.take(size + (frame->multiScan ? frame->coefficientBytes : 0) +
                     pixelCost(scaled(frame->width), scaled(frame->height), storedWidth,
                               storedHeight, 3))) {
        return Step::Wait;
    }
    Pixels image;
    std::vector<std::uint8_t> icc;
    const DecodeResult decoded =
        decodeJpegReduced(data, size, storedWidth, storedHeight, decodeLimits(), image, icc, error);
    if (decoded != DecodeResult::Done) return stepOf(decoded);
    image = orientPixels(std::move(image), orientation);
    return encodeJpeg(image, icc, kWebJpegQuality, bytes, error) ? Step::Done : Step::Failed;
}

Step pngCopy(const FileBytes& file, const ImageHeader& header, std::size_t width, std::size_t height,
             Reservation& memory, std::string& bytes, std::string& error) {
    if (header.interlaced) return Step::NotHandled;
    if (!memory.take(file.data.size() + pixelCost(header.width, header.height, width, height, 4))) {
        return Step::Wait;
    }
    Pixels image;
    PngColour colour;
    const DecodeResult decoded = decodePngReduced(file.data.data(), file.data.size(), width, height,
                                                  decodeLimits(), image, colour, error);
    if (decoded != DecodeResult::Done) return stepOf(decoded);
    return encodePng(image, colour, bytes, error) ? Step::Done : Step::Failed;
}

}  // namespace

bool encodeWebCopy(const std::string& source, const ImageHeader& header, std::size_t width,
                   std::size_t height, std::string& bytes, std::string& error,
                   const MemoryReserve& reserve) {
    if (!imageLibraryStarted()) {
        error = kLibraryNotStarted;
        return false;
    }
    Reservation memory(reserve);
    if (header.format == ImageFormat::JPEG || header.format == ImageFormat::PNG) {
        for (;;) {
            std::optional<FileBytes> file = readImageFile(source, error);
            if (!file) return false;
            const std::optional<ImageFormat> format =
                sniffImageFormat(file->data.data(), file->data.size());
            Step step = Step::NotHandled;
            if (format == ImageFormat::JPEG && header.format == ImageFormat::JPEG) {
                step = jpegCopy(*file, width, height, memory, bytes, error);
            } else if (format == ImageFormat::PNG && header.format == ImageFormat::PNG) {
                step = pngCopy(*file, header, width, height, memory, bytes, error);
            }
            if (step == Step::Wait) {
                memory.wait();
                continue;  // the file let go meanwhile
            }
            // NotHandled comes before anything is taken.
            if (step != Step::NotHandled) return step == Step::Done;
            break;
        }
    }
    memory.wait();  // nothing is held while it waits
    memory.take(libraryCost(width, height, header.fileSize));
    return encodeThroughLibrary(source, header, width, height, bytes, error);
}

}  // namespace lumigal
