#include "imaging/image_io.h"

#include "decode_limits.h"
#include "imaging/image_library.h"
#include "imaging/jpeg_dc.h"
#include "magick_image.h"
#include "imaging/jpeg_markers.h"
#include "imaging/photo_metadata.h"
#include "imaging/video_format.h"
#include "platform/system_error.h"
#include "heif_boxes.h"
#include "heif_read.h"
#include "tiff_directories.h"
#include "tiff_rows.h"
#include "webp_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace lumigal {

namespace {

// Bigger files are refused before anything is decoded.
constexpr std::int64_t kMaxImageFileBytes = std::int64_t{512} << 20;

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

bool startsWith(const std::uint8_t* data, std::size_t size, const char* magic, std::size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

// A bare 40-byte BITMAPINFOHEADER (the only header the DIB decoder reads)
// with one plane and a bit count that a bitmap can have.
bool isDib(const std::uint8_t* data, std::size_t size) {
    if (size < 16 || le32(data) != 40 || le16(data + 12) != 1) return false;
    switch (le16(data + 14)) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

// X bitmap text: blanks and C comments, then "#define".
bool isXbm(const std::uint8_t* data, std::size_t size) {
    std::size_t i = 0;
    while (i < size) {
        const char c = static_cast<char>(data[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++i;
        } else if (c == '/' && i + 1 < size && data[i + 1] == '*') {
            const std::uint8_t* end = nullptr;
            for (std::size_t j = i + 2; j + 1 < size; ++j) {
                if (data[j] == '*' && data[j + 1] == '/') {
                    end = data + j + 2;
                    break;
                }
            }
            if (!end) return false;
            i = static_cast<std::size_t>(end - data);
        } else if (c == '/' && i + 1 < size && data[i + 1] == '/') {
            while (i < size && data[i] != '\n') ++i;
        } else {
            break;
        }
    }
    return startsWith(data + i, size - i, "#define", 7);
}

std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

// An ISO media file ("ftyp" box first) of the HEIF family: AVIF when its
// brands say AV1 (the major brand first, then the compatible ones), HEIC
// for HEVC and for a still image of no named codec (libheif tells).
std::optional<ImageFormat> heifFamily(const std::uint8_t* data, std::size_t size) {
    if (size < 16 || std::memcmp(data + 4, "ftyp", 4) != 0) return std::nullopt;
    const std::size_t boxSize = std::min<std::size_t>(be32(data), size);
    const auto brand = [&](std::size_t at) -> std::optional<ImageFormat> {
        const char* b = reinterpret_cast<const char*>(data + at);
        for (const char* avif : {"avif", "avis"}) {
            if (std::memcmp(b, avif, 4) == 0) return ImageFormat::AVIF;
        }
        for (const char* heic : {"heic", "heix", "heim", "heis", "hevc", "hevx"}) {
            if (std::memcmp(b, heic, 4) == 0) return ImageFormat::HEIC;
        }
        return std::nullopt;
    };
    if (const auto major = brand(8)) return major;
    const bool still = std::memcmp(data + 8, "mif1", 4) == 0 || std::memcmp(data + 8, "msf1", 4) == 0;
    bool stillCompatible = false;
    for (std::size_t at = 16; at + 4 <= boxSize; at += 4) {
        if (const auto compatible = brand(at)) return compatible;
        stillCompatible = stillCompatible || std::memcmp(data + at, "mif1", 4) == 0;
    }
    if (still || stillCompatible) return ImageFormat::HEIC;
    return std::nullopt;
}

// WebP and HEIF images are decoded into the codec's own buffers, besides
// the pixel cache that the resource limits bound (at least 4 bytes a
// pixel): larger images are refused before they are decoded. That leaves
// room for a 48-megapixel photo.
constexpr std::uint64_t kMaxCodecArea = std::uint64_t{50} << 20;  // pixels

bool decodedByCodec(ImageFormat format) {
    return format == ImageFormat::WEBP || format == ImageFormat::HEIC ||
           format == ImageFormat::AVIF;
}

std::string errnoText(int err) { return platform::errnoText(err, platform::FileAccess::Reading); }

struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
};

// Whether a decode failed on a resource limit: a resource error, or the
// image error that the pixel cache raises for a width or height over the
// limit (recognised by its message, in the library's own language).
bool overLimit(const ExceptionInfo& exception) {
    if (exception.severity == ResourceLimitError) return true;
    if (exception.severity != ImageError || !exception.reason) return false;
    const char* message = GetLocaleExceptionMessage(ImageError, "WidthOrHeightExceedsLimit");
    return message && *message &&
           std::strncmp(exception.reason, message, std::strlen(message)) == 0;
}

// What went wrong in a decode, as told to the user (without the path: the
// caller names the file).
std::string decodeError(const ExceptionInfo& exception) {
    if (overLimit(exception)) return "image trop grande";
    return "image illisible ou endommagée";
}

// The width and height of a size hint "WxH"; nullopt for any other text.
std::optional<std::pair<std::size_t, std::size_t>> hintSize(const std::string& hint) {
    unsigned long w = 0, h = 0;
    char x = 0, rest = 0;
    if (std::sscanf(hint.c_str(), "%lu%c%lu%c", &w, &x, &h, &rest) != 3 || x != 'x' || w == 0 ||
        h == 0) {
        return std::nullopt;
    }
    return std::pair<std::size_t, std::size_t>{w, h};
}

// Whether the JPEG library, given `hint`, would decode this frame at one
// eighth of its size (it takes the largest scale 1/n that keeps the hint's
// size, and 1/8 is its smallest), and the image is within the limits.
bool decodesAtEighth(const ProgressiveJpegFrame& frame, const std::string& hint) {
    const auto size = hintSize(hint);
    if (!size || frame.width < 8 * size->first || frame.height < 8 * size->second) return false;
    return frame.width <= GetMagickResourceLimit(WidthResource) &&
           frame.height <= GetMagickResourceLimit(HeightResource) &&
           std::uint64_t{frame.width} * frame.height <= GetMagickResourceLimit(AreaResource);
}

// A progressive JPEG that the hint lets the JPEG library decode at 1/8,
// read from its DC coefficients alone (see jpeg_dc.h) into an image that
// keeps what the header gives (profiles, resolution, interlace, format).
// nullptr when that reading does not apply: the caller decodes as usual.
ImagePtr readAtEighth(const ImageInfo& info, const std::vector<std::uint8_t>& data,
                      const std::string& hint) {
    const std::optional<ProgressiveJpegFrame> frame = progressiveJpegFrame(data.data(), data.size());
    if (!frame || !decodesAtEighth(*frame, hint)) return nullptr;
    const std::optional<EighthImage> eighth =
        decodeJpegEighth(data.data(), data.size(), GetMagickResourceLimit(AreaResource));
    if (!eighth) return nullptr;
    ExceptionPtr exception(AcquireExceptionInfo());
    const ImagePtr header(PingBlob(&info, data.data(), data.size(), exception.get()));
    if (!header || exception->severity >= ErrorException) return nullptr;
    ImagePtr image(ConstituteImage(eighth->width, eighth->height, eighth->channels == 1 ? "I" : "RGB",
                                   CharPixel, eighth->pixels.data(), exception.get()));
    if (!image || exception->severity >= ErrorException) return nullptr;
    // What the JPEG decoder would have given the image besides its pixels.
    if (CloneImageProperties(image.get(), header.get()) == MagickFalse ||
        CloneImageProfiles(image.get(), header.get()) == MagickFalse) {
        return nullptr;
    }
    CopyMagickString(image->magick, header->magick, MaxTextExtent);
    image->interlace = header->interlace;
    image->compression = header->compression;
    image->quality = header->quality;
    if (eighth->channels == 1) SetImageColorspace(image.get(), header->colorspace);
    return image;
}

// A size hint for an image shown turned a quarter (orientations 5 to 8) as
// the decoder needs it, in the stored orientation: "WxH" becomes "HxW".
// Any other text stays as it is.
std::string storedHint(const std::string& hint, int orientation) {
    if (orientation < 5) return hint;
    const auto size = hintSize(hint);
    if (!size) return hint;
    return std::to_string(size->second) + "x" + std::to_string(size->first);
}

}  // namespace

void attachIccProfile(Image& image, const std::uint8_t* icc, std::size_t size) {
    if (!icc || size == 0) return;
    StringInfo* profile = AcquireStringInfo(size);
    if (!profile) return;
    SetStringInfoDatum(profile, icc);
    SetImageProfile(&image, "icc", profile);
    DestroyStringInfo(profile);
}

ImagePtr orientImage(ImagePtr image, int orientation) {
    ExceptionPtr exception(AcquireExceptionInfo());
    Image* turned = nullptr;
    switch (orientation) {
        case 2:
            turned = FlopImage(image.get(), exception.get());
            break;
        case 3:
            turned = RotateImage(image.get(), 180, exception.get());
            break;
        case 4:
            turned = FlipImage(image.get(), exception.get());
            break;
        case 5:
            turned = TransposeImage(image.get(), exception.get());
            break;
        case 6:
            turned = RotateImage(image.get(), 90, exception.get());
            break;
        case 7:
            turned = TransverseImage(image.get(), exception.get());
            break;
        case 8:
            turned = RotateImage(image.get(), 270, exception.get());
            break;
        default:
            return image;
    }
    ImagePtr result(turned);
    if (!result || exception->severity >= ErrorException) return nullptr;
    DeleteImageProfile(result.get(), "exif");
    result->orientation = TopLeftOrientation;
    return result;
}

namespace {

// Reads and decodes (or only pings) the first frame of `path`, the coder
// forced to the format that the content shows. The data go to ImageMagick
// as a blob: it never sees, let alone interprets, the file name. A decoded
// image comes upright (a JPEG's, WebP's or TIFF's EXIF orientation applied,
// a HEIF image turned by libheif); `sizeHint` is the size as shown.
// `orientation` receives the EXIF orientation that is ours to apply (1 for
// the other formats); given with `stored`, the image stays as stored.
ImagePtr decodeFirstFrame(const std::string& path, bool ping, const std::string& shownHint,
                          std::string& error, ImageFormat* format, std::int64_t* fileSize,
                          ImageHeader* found = nullptr, int* orientation = nullptr,
                          bool stored = false, PhotoMetadata* metadata = nullptr) {
    if (!imageLibraryStarted()) {
        error = kLibraryNotStarted;
        return nullptr;
    }
    std::optional<FileBytes> bytes = readImageFile(path, error);
    if (!bytes) return nullptr;
    if (metadata) *metadata = readPhotoMetadata(bytes->data.data(), bytes->data.size());
    if (sniffImageFormat(bytes->data.data(), bytes->data.size()) == ImageFormat::JPEG) {
        stripJpegXmp(bytes->data);  // never shown, and slow to read when large
    }
    if (bytes->data.empty()) {
        error = "fichier vide";
        return nullptr;
    }
    const std::optional<ImageFormat> sniffed =
        sniffImageFormat(bytes->data.data(), bytes->data.size());
    if (!sniffed) {
        error = "format d'image non reconnu";
        return nullptr;
    }
    const bool heif = *sniffed == ImageFormat::HEIC || *sniffed == ImageFormat::AVIF;
    if (heif && !heifBoxesWithinBounds(countHeifBoxes(bytes->data.data(), bytes->data.size()))) {
        error = "image trop grande";  // more items than any photo: never parsed
        return nullptr;
    }
    const bool jpeg = *sniffed == ImageFormat::JPEG;
    const int turn = storedOrientation(*sniffed, bytes->data.data(), bytes->data.size());
    const std::string sizeHint = storedHint(shownHint, turn);
    ImageInfoPtr info(AcquireImageInfo());
    CopyMagickString(info->magick, magickName(*sniffed), MaxTextExtent);
    info->affirm = MagickTrue;
    info->scene = 0;
    info->number_scenes = 1;
    // The JPEG decoder reads the hint from its own define. The size text
    // itself is not set: the DIB decoder would crop the image to it.
    if (!sizeHint.empty()) SetImageOption(info.get(), "jpeg:size", sizeHint.c_str());
    // What a header read finds that tells the cost of decoding.
    if (found && jpeg) {
        found->eighthReadable = progressiveJpegFrame(bytes->data.data(), bytes->data.size()).has_value();
    }
    if (found && (*sniffed == ImageFormat::HEIC || *sniffed == ImageFormat::AVIF)) {
        const HeifPreview preview = largestHeifThumbnail(bytes->data.data(), bytes->data.size());
        found->previewWidth = preview.width;
        found->previewHeight = preview.height;
        found->tiled = heifGridTiles(bytes->data.data(), bytes->data.size()).has_value();
    }
    if (found && *sniffed == ImageFormat::TIFF) {
        found->rowReadable = tiffRowsReadable(bytes->data.data(), bytes->data.size());
    }
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr image;
    if (!ping && jpeg && !sizeHint.empty()) {
        image = readAtEighth(*info, bytes->data, sizeHint);
    }
    if (!ping && jpeg && !image) {
        const std::optional<JpegFrameMemory> frame =
            jpegFrameMemory(bytes->data.data(), bytes->data.size());
        if (frame && frame->multiScan && frame->coefficientBytes > kMaxJpegCoefficientBytes) {
            error = "image trop grande";
            return nullptr;
        }
    }
    if (*sniffed == ImageFormat::WEBP) {
        const std::optional<WebpFeatures> features =
            webpFeatures(bytes->data.data(), bytes->data.size());
        if (!features) {
            error = "image illisible ou endommagée";
            return nullptr;
        }
        if (!ping && std::uint64_t{features->width} * features->height > kMaxCodecArea) {
            error = "image trop grande";
            return nullptr;
        }
        // An animation goes to the library's reader, for its first frame.
        if (ping && !features->animated) {
            image = pingWebp(*features);
        } else if (!features->animated) {
            const auto wanted = hintSize(sizeHint);
            image = decodeWebp(bytes->data.data(), bytes->data.size(), wanted ? wanted->first : 0,
                               wanted ? wanted->second : 0, error);
            if (!image && !error.empty()) return nullptr;
        }
    }
    if (!ping && *sniffed == ImageFormat::TIFF) {
        // A reduced-resolution image that covers the hint is read instead.
        if (const auto wanted = hintSize(sizeHint)) {
            if (const auto reduced = tiffReducedImage(bytes->data.data(), bytes->data.size(),
                                                      wanted->first, wanted->second)) {
                info->scene = *reduced;
            }
            // Else a large one is reduced as it is read.
            if (info->scene == 0) {
                image = readTiffReduced(bytes->data.data(), bytes->data.size(), wanted->first,
                                        wanted->second, kMaxCodecArea);
            }
        }
    }
    if (!ping && (*sniffed == ImageFormat::HEIC || *sniffed == ImageFormat::AVIF)) {
        const auto wanted = hintSize(sizeHint);
        image = decodeHeif(bytes->data.data(), bytes->data.size(), wanted ? wanted->first : 0,
                           wanted ? wanted->second : 0, GetMagickResourceLimit(WidthResource),
                           kMaxCodecArea, error);
        if (!image && !error.empty()) return nullptr;
        if (image) CopyMagickString(image->magick, magickName(*sniffed), MaxTextExtent);
    }
    if (!image && !ping && decodedByCodec(*sniffed)) {
        const ImagePtr header(PingBlob(info.get(), bytes->data.data(), bytes->data.size(),
                                       exception.get()));
        if (header && exception->severity < ErrorException &&
            std::uint64_t{header->columns} * header->rows > kMaxCodecArea) {
            error = "image trop grande";
            return nullptr;
        }
        ClearMagickException(exception.get());
    }
    if (!image) {
        image.reset(ping ? PingBlob(info.get(), bytes->data.data(), bytes->data.size(), exception.get())
                         : BlobToImage(info.get(), bytes->data.data(), bytes->data.size(),
                                       exception.get()));
    }
    if (exception->severity >= ErrorException) {
        error = decodeError(*exception);
        return nullptr;
    }
    if (!image) {
        error = "image illisible ou endommagée";
        return nullptr;
    }
    if (info->scene > 0 && !ping) {
        // The TIFF reader puts a blank image in the list for each directory
        // it skips: the one asked for is at its place.
        Image* list = image.release();
        Image* rest = GetImageFromList(list, static_cast<ssize_t>(info->scene));
        Image* taken = rest ? RemoveImageFromList(&rest) : nullptr;
        DestroyImageList(GetFirstImageInList(taken ? rest : list));
        image.reset(taken);
        if (!image) {
            error = "image illisible ou endommagée";
            return nullptr;
        }
    }
    if (Image* rest = SplitImageList(image.get())) DestroyImageList(rest);
    if (image->columns == 0 || image->rows == 0) {
        error = "image vide (0 x 0 pixel)";
        return nullptr;
    }
    if (*sniffed == ImageFormat::HEIC || *sniffed == ImageFormat::AVIF) {
        // Shown as decoded: an EXIF orientation kept in the thumbnail would
        // turn it once more.
        DeleteImageProfile(image.get(), "exif");
        image->orientation = TopLeftOrientation;
        // The library gives HEIF pixels as YCbCr.
        if (!ping && image->colorspace != sRGBColorspace &&
            TransformImageColorspace(image.get(), sRGBColorspace) == MagickFalse) {
            error = "image trop grande";
            return nullptr;
        }
    }
    if (!ping && !stored && turn != 1) {
        image = orientImage(std::move(image), turn);
        if (!image) {
            error = "image trop grande";
            return nullptr;
        }
    }
    if (orientation) *orientation = turn;
    if (format) *format = *sniffed;
    if (fileSize) *fileSize = bytes->size;
    return image;
}

}  // namespace

const char* magickName(ImageFormat format) {
    switch (format) {
        case ImageFormat::BMP:
            return "BMP";
        case ImageFormat::DIB:
            return "DIB";
        case ImageFormat::GIF:
            return "GIF";
        case ImageFormat::JPEG:
            return "JPEG";
        case ImageFormat::PNG:
            return "PNG";
        case ImageFormat::XBM:
            return "XBM";
        case ImageFormat::WEBP:
            return "WEBP";
        case ImageFormat::HEIC:
            return "HEIC";
        case ImageFormat::AVIF:
            return "AVIF";
        case ImageFormat::TIFF:
            return "TIFF";
    }
    return "PNG";
}

bool browserShows(ImageFormat format) {
    return format != ImageFormat::HEIC && format != ImageFormat::TIFF;
}

std::optional<ImageFormat> sniffImageFormat(const std::uint8_t* data, std::size_t size) {
    if (!data) return std::nullopt;
    if (startsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return ImageFormat::PNG;
    if (startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6))
        return ImageFormat::GIF;
    if (startsWith(data, size, "\xff\xd8\xff", 3)) return ImageFormat::JPEG;
    if (startsWith(data, size, "BM", 2)) return ImageFormat::BMP;
    if (isDib(data, size)) return ImageFormat::DIB;
    if (isXbm(data, size)) return ImageFormat::XBM;
    if (startsWith(data, size, "RIFF", 4) && size >= 12 && std::memcmp(data + 8, "WEBP", 4) == 0)
        return ImageFormat::WEBP;
    // Classic and big TIFF, either byte order.
    if (startsWith(data, size, "II*\0", 4) || startsWith(data, size, "MM\0*", 4) ||
        startsWith(data, size, "II+\0", 4) || startsWith(data, size, "MM\0+", 4))
        return ImageFormat::TIFF;
    if (const auto heif = heifFamily(data, size)) return heif;
    return std::nullopt;
}

std::optional<FileBytes> readImageFile(const std::string& path, std::string& error) {
    // O_NONBLOCK: opening a FIFO without a writer must not wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "impossible d'ouvrir : " + errnoText(errno);
        return std::nullopt;
    }
    FileCloser closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = "impossible d'ouvrir : " + errnoText(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "n'est pas un fichier ordinaire";
        return std::nullopt;
    }
    if (st.st_size > kMaxImageFileBytes) {
        error = "fichier trop gros";
        return std::nullopt;
    }
    FileBytes bytes;
    bytes.size = st.st_size;
    std::vector<std::uint8_t>& data = bytes.data;
    // One byte more than stat tells, to notice a file that grew meanwhile.
    data.resize(static_cast<std::size_t>(st.st_size) + 1);
    const auto cap = static_cast<std::size_t>(kMaxImageFileBytes);
    std::size_t done = 0;
    for (;;) {
        if (done == data.size()) {
            if (done > cap) {
                error = "fichier trop gros";
                return std::nullopt;
            }
            data.resize(std::min(std::max(done * 2, std::size_t{1} << 16), cap + 1));
        }
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = "erreur de lecture : " + errnoText(errno);
            return std::nullopt;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    return bytes;
}

std::optional<ImageHeader> pingImageFile(const std::string& path, std::string& error,
                                         PhotoMetadata* metadata) {
    // A video is never read whole as an image would be: only its poster
    // thumbnail shows it (imaging/video_poster.h).
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos &&
        videoFormatOfExtension(std::string_view(path).substr(dot)) && sniffVideoFile(path)) {
        error = "vid\xC3\xA9o : seule une page en vignettes la montre";
        return std::nullopt;
    }
    ImageHeader header;
    ImagePtr image = decodeFirstFrame(path, true, {}, error, &header.format, &header.fileSize,
                                      &header, &header.orientation, false, metadata);
    if (!image) return std::nullopt;
    const bool quarterTurn = header.orientation >= 5;
    header.width = quarterTurn ? image->rows : image->columns;
    header.height = quarterTurn ? image->columns : image->rows;
    header.colors = image->colors;
    // The interlace of the six older formats (progressive JPEG, Adam7 PNG,
    // interlaced GIF); a TIFF's separate colour planes, which the library
    // also calls so, are not an interlace that a viewer would show.
    const bool older = header.format != ImageFormat::TIFF && !decodedByCodec(header.format);
    header.interlaced =
        older && image->interlace != NoInterlace && image->interlace != UndefinedInterlace;
    return header;
}

ImagePtr readImageFirstFrame(const std::string& path, std::string& error,
                             const std::string& sizeHint, int* orientation) {
    return decodeFirstFrame(path, false, sizeHint, error, nullptr, nullptr, nullptr, orientation,
                            orientation != nullptr);
}

}  // namespace lumigal
