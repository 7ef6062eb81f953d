#include "imaging/thumbnail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wand/MagickWand.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string_view>

#include "imaging/image_library.h"
#include "imaging/video_format.h"
#include "magick_image.h"
#include "thumbnail_steps.h"
#include "decode_limits.h"
#include "reduced_read.h"
#include "thumbnail_source.h"
#include "common/paths.h"
#include "platform/atomic_file.h"
#include "platform/system_error.h"

namespace lumigal {

namespace {

using namespace thumbnail_steps;

constexpr std::size_t kDefaultQuality = 75;

// An option: "-" or "+" followed by at least one character.
bool isOption(const std::string& arg) {
    return arg.size() >= 2 && (arg[0] == '-' || arg[0] == '+');
}

// Whether the first `n` characters of `keyword` are those of `name` (a
// shorter keyword does not match).
bool keywordIs(const std::string& keyword, const char* name, std::size_t n) {
    return std::strncmp(keyword.c_str(), name, n) == 0;
}

// A decimal number at the start of `text`, after blanks, as "%d" reads it.
bool readsAsNumber(const std::string& text, int& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE || number < INT_MIN || number > INT_MAX) return false;
    value = static_cast<int>(number);
    return true;
}

enum class OptionStatus { Ok, Bad };

// One option of the argument vector at `index` (a row of the option table):
// changes the request and moves `index` past an argument that it consumes.
// The argument is missing when only the output name follows.
OptionStatus applyOption(const std::vector<std::string>& args, std::size_t& index,
                         ImageInfo& request, std::string& message) {
    const std::string& option = args[index];
    const bool minus = option[0] == '-';
    const std::string keyword = option.substr(1);
    const std::size_t output = args.size() - 1;
    // Takes the option's argument; nullptr when it is missing.
    const auto takeArgument = [&]() -> const std::string* {
        if (index + 1 >= output) {
            message = "Argument manquant pour l'option " + option;
            return nullptr;
        }
        return &args[++index];
    };
    const auto bad = [&](const std::string& value) {
        message = "Argument incorrect pour l'option " + option + " : " + value;
        return OptionStatus::Bad;
    };
    int number = 0;
    switch (keyword[0]) {
        case 'c':
            // "contrast" itself is applied to each input by MogrifyImages.
            if (keywordIs(keyword, "contrast", 3)) break;
            if (keyword == "colors" && minus) {
                const std::string* value = takeArgument();
                if (!value) return OptionStatus::Bad;
                if (!readsAsNumber(*value, number)) return bad(*value);
            }
            break;
        case 'd':
            if (keywordIs(keyword, "dither", 3)) request.dither = minus ? MagickTrue : MagickFalse;
            break;
        case 'g':
            if (keywordIs(keyword, "geometry", 2) && minus) {
                const std::string* value = takeArgument();
                if (!value) return OptionStatus::Bad;
                if (IsGeometry(value->c_str()) == MagickFalse) return bad(*value);
            }
            break;
        case 'q':
            if (keywordIs(keyword, "quality", 2)) {
                request.quality = kDefaultQuality;
                if (!minus) break;
                const std::string* value = takeArgument();
                if (!value) return OptionStatus::Bad;
                if (!readsAsNumber(*value, number) || number < 0 || number > 100) {
                    return bad(*value);
                }
                request.quality = static_cast<std::size_t>(number);
            }
            break;
        case 's':
            if (keywordIs(keyword, "size", 2)) {
                if (request.size) request.size = DestroyString(request.size);
                if (!minus) break;
                const std::string* value = takeArgument();
                if (!value) return OptionStatus::Bad;
                if (IsGeometry(value->c_str()) == MagickFalse) return bad(*value);
                CloneString(&request.size, value->c_str());
            }
            break;
        default:
            break;
    }
    return OptionStatus::Ok;
}

// Whether a source's extension names a format that browsers do not show,
// whose thumbnail is then a JPEG even where it keeps the source's format.
bool hiddenFromBrowsers(std::string_view extension) {
    for (const char* ext : {".heic", ".heif", ".tif", ".tiff"}) {
        if (equalsNoCase(extension, ext)) return true;
    }
    return videoFormatOfExtension(extension).has_value();
}

std::string systemError(int err) { return platform::errnoText(err, platform::FileAccess::Writing); }

// Writes `data` to `path` through a temporary file of the same folder that
// is synced and then renamed over `path`: a failure at any point leaves the
// old file (or none) and never a partial one. The folder is not synced: a
// thumbnail whose rename a crash undid no longer has its recorded stamp, and
// is made again.
bool writeFileReplacing(const std::string& path, const void* data, std::size_t length,
                        mode_t mode, std::string& message) {
    platform::ReplaceError error;
    const std::string_view bytes(static_cast<const char*>(data), length);
    if (platform::replaceFile(path, bytes, error, mode, false)) return true;
    message = "Impossible d'écrire la vignette " + path + " : " + systemError(error.err);
    return false;
}

// Options that change each pixel on its own (or nothing at all), so that
// an early reduction of the image does not change what they mean.
bool isPointwiseOption(const std::string& option) {
    const std::string keyword = option.substr(1);
    return keywordIs(keyword, "contrast", 3) || keywordIs(keyword, "quality", 2) ||
           keywordIs(keyword, "dither", 3) || keywordIs(keyword, "size", 2);
}

}  // namespace

ThumbnailNames thumbnailFileName(const std::string& source, const std::string& pathThumbnail,
                                 bool keepSameFormat, int newFormat) {
    const PathParts parts = splitPath(source);
    std::string name = parts.baseName;
    bool jpegPrefix = false;
    const bool copiedAsItIs = newFormat == kCopyNames && videoFormatOfExtension(parts.extension);
    if (keepSameFormat && hiddenFromBrowsers(parts.extension) && !copiedAsItIs) {
        name += ".jpg";
        jpegPrefix = true;
    } else if (keepSameFormat) {
        name += parts.extension;
    } else {
        switch (newFormat) {
            case 0:
                name += ".bmp";
                break;
            case 1:
                name += ".gif";
                break;
            case 2:
                name += ".jpg";
                jpegPrefix = true;
                break;
            default:
                name += ".png";
                break;  // 3, and any value no dialog stores
        }
    }
    ThumbnailNames names;
    names.page = pathThumbnail.empty() ? name : joinPath(pathThumbnail, name);
    names.maker = jpegPrefix ? std::string(kJpegPrefix) + names.page : names.page;
    return names;
}

int renderThumbnailFrom(const ThumbnailSource& source, const std::vector<std::string>& args,
                        ThumbnailSize size, EncodedThumbnail& encoded, std::string* error) {
    std::string message;
    const auto result = [&](int code) {
        if (error) *error = code == kThumbnailWritten ? std::string() : message;
        return code;
    };
    if (size.width == 0 || size.height == 0) {
        message = "Taille de vignette nulle (" + std::to_string(size.width) + " x " +
                  std::to_string(size.height) + ") : aucune vignette n'est faite";
        return result(kThumbnailNotMade);
    }
    // The output: a "JPEG:" prefix or the extension chooses the format, else
    // the source's own format (settled once the source is read).
    std::string output = args.size() < 2 ? std::string() : args.back();
    const bool jpegPrefix = equalsNoCase(output.substr(0, kJpegPrefix.size()), kJpegPrefix);
    if (jpegPrefix) output.erase(0, kJpegPrefix.size());
    if (output.empty()) {
        message = "Aucun nom de vignette n'est donné";
        return result(kThumbnailNotMade);
    }
    const std::optional<ImageFormat> namedFormat = formatOfName(output, jpegPrefix);
    if (!imageLibraryStarted()) {
        message = kLibraryNotStarted;
        return result(kThumbnailNotMade);
    }

    // The options as MogrifyImages takes them. File names are never
    // expanded: a name with "*" or a leading "@" is that file and no other.
    std::vector<const char*> argv;
    argv.reserve(args.size());
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    ImageInfoPtr request(AcquireImageInfo());
    ExceptionPtr exception(AcquireExceptionInfo());

    // Inputs and options, up to the output name. Each input contributes its
    // first frame only (only the first image of the list is ever written)
    // with the options that stand before it applied.
    ImagePtr images;
    std::string readError;
    std::size_t lastExamined = 0;
    bool pointwise = true;  // every option so far acts on each pixel alone
    // When every option acts on each pixel alone, an image shown turned (an
    // EXIF orientation) is reduced and scaled as stored, to the size turned
    // the same way, and only the thumbnail is turned upright: the options,
    // the averages of the scale and the contrast stretch are the same.
    bool allPointwise = true;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (isOption(args[i]) && !isPointwiseOption(args[i])) allPointwise = false;
    }
    int turn = 1;  // the orientation that the first image still needs
    ThumbnailSize scaled = size;  // the size the first image is scaled to
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        lastExamined = i;
        if (isOption(args[i])) {
            pointwise = pointwise && isPointwiseOption(args[i]);
            if (applyOption(args, i, *request, message) == OptionStatus::Bad) {
                return result(kThumbnailBadOption);
            }
            continue;
        }
        // Only the first input is ever scaled and written; when the options
        // before it act on each pixel alone, it may be decoded small (the
        // JPEG decoder shrinks while loading) and reduced once before they
        // apply: the final scale averages the same areas either way.
        const bool reduceEarly = pointwise && !images && !(request->size && *request->size);
        std::string sizeHint = request->size ? request->size : "";
        if (reduceEarly) {
            sizeHint = std::to_string(2 * std::size_t{size.width}) + "x" +
                       std::to_string(2 * std::size_t{size.height});
        }
        ImagePtr input;
        if (source) {
            input = source(args[i], size, readError);
        } else if (reduceEarly && shouldStream(args[i], size)) {
            // A large PNG goes straight to the early reduction, row by row.
            std::string ignored;
            input = readPngReduced(args[i], kEarlyFactor * size.width,
                                   kEarlyFactor * size.height, ignored,
                                   2 * kReduceTranslucentAboveHint / kEarlyFactor);
        }
        int stored = 1;
        if (!input && !source) {
            input = readImageFirstFrame(args[i], readError, sizeHint,
                                        reduceEarly && allPointwise ? &stored : nullptr);
        }
        if (!input) continue;
        const ThumbnailSize storedSize =
            stored >= 5 ? ThumbnailSize{size.height, size.width} : size;
        if (reduceEarly) input = reduceBeforeOptions(std::move(input), storedSize);
        // MogrifyImages also records the options in the request it is given
        // (where "+quality" would mean no quality rather than 75): it gets a
        // copy, and the request keeps what the scan set.
        Image* raw = input.release();
        const ImageInfoPtr settings(CloneImageInfo(request.get()));
        MogrifyImages(settings.get(), MagickFalse, static_cast<int>(i), argv.data(), &raw,
                      exception.get());
        input.reset(raw);
        if (!input) continue;
        if (!images) {
            images = std::move(input);
            turn = stored;
            scaled = storedSize;
        } else {
            Image* list = images.release();
            AppendImageToList(&list, input.release());
            images.reset(list);
        }
    }
    if (!images) {
        message = readError.empty() ? "Aucune image à réduire" : readError;
        return result(kThumbnailNotMade);
    }
    // Options after the last input still apply, to the first image.
    if (lastExamined > 0 && args[lastExamined].size() > 2 && isOption(args[lastExamined])) {
        Image* raw = images.release();
        const ImageInfoPtr settings(CloneImageInfo(request.get()));
        MogrifyImage(settings.get(), static_cast<int>(args.size() - 1), argv.data(), &raw,
                     exception.get());
        images.reset(raw ? GetFirstImageInList(raw) : nullptr);
        if (!images) {
            message = "Impossible d'appliquer les options";
            return result(kThumbnailNotMade);
        }
    }

    const ImageFormat format = namedFormat.value_or(formatOfImage(*images));

    ClearMagickException(exception.get());
    ImagePtr thumbnail(ScaleImage(images.get(), scaled.width, scaled.height, exception.get()));
    if (thumbnail && exception->severity < ErrorException) {
        thumbnail = orientImage(std::move(thumbnail), turn);
    }
    if (!thumbnail || exception->severity >= ErrorException) {
        message = "Impossible de mettre l'image à la taille " + std::to_string(size.width) + " x " +
                  std::to_string(size.height);
        return result(kThumbnailNotMade);
    }
    images.reset();
    NormalizeImage(thumbnail.get());
    dropMetadata(*thumbnail);

    std::size_t length = 0;
    const BlobPtr blob = encodeImage(*request, *thumbnail, format, length, message);
    if (!blob) return result(kThumbnailNotMade);
    const auto* bytes = static_cast<const std::uint8_t*>(blob.get());
    encoded.path = output;
    encoded.bytes.assign(bytes, bytes + length);
    return result(kThumbnailWritten);
}

int RenderThumbnail(const std::vector<std::string>& args, ThumbnailSize size,
                    EncodedThumbnail& encoded, std::string* error) {
    return renderThumbnailFrom({}, args, size, encoded, error);
}

bool writeThumbnailFile(const EncodedThumbnail& encoded, std::string& error) {
    return writeFileReplacing(encoded.path, encoded.bytes.data(), encoded.bytes.size(),
                              static_cast<mode_t>(encoded.mode), error);
}

int MakeThumbnail(const std::vector<std::string>& args, ThumbnailSize size, std::string* error) {
    EncodedThumbnail encoded;
    const int made = RenderThumbnail(args, size, encoded, error);
    if (made != kThumbnailWritten) return made;
    std::string message;
    if (!writeThumbnailFile(encoded, message)) {
        if (error) *error = message;
        return kThumbnailNotMade;
    }
    return kThumbnailWritten;
}

}  // namespace lumigal
