#include "png_codec.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>

#include "png_memory_input.h"
#include "row_resizer.h"

namespace lumigal {

namespace {

[[noreturn]] void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

struct Decode {
    PngMemoryInput input;
    std::size_t width, height;
    const DecodeLimits* limits;
    std::unique_ptr<RowResizer> resizer;
    std::vector<std::uint8_t> row;
    PngColour* colour;
    bool interlaced = false;
    bool tooLarge = false;
};

void readColour(png_structp png, png_infop info, PngColour& colour) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && profile && length > 0) {
        colour.icc.assign(profile, profile + length);
        colour.iccName = name ? name : "icc";
    }
    int intent = 0;
    if (png_get_sRGB(png, info, &intent)) colour.srgbIntent = intent;
    png_fixed_point gamma = 0;
    if (png_get_gAMA_fixed(png, info, &gamma)) {
        colour.hasGamma = true;
        colour.gamma = gamma;
    }
    png_fixed_point c[8];
    if (png_get_cHRM_fixed(png, info, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7])) {
        colour.hasChromaticities = true;
        for (int i = 0; i < 8; ++i) colour.chromaticities[i] = c[i];
    }
}

// The decode itself: only plain data and pointers live across the
// library's error jump (the C++ objects are in `d`, made by the caller).
bool runDecode(png_structp png, png_infop info, Decode* d) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &d->input, readPngMemory);
    png_set_user_limits(png, static_cast<png_uint_32>(d->limits->maxSide),
                        static_cast<png_uint_32>(d->limits->maxSide));
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
        d->interlaced = true;
        return false;
    }
    if (std::uint64_t{width} * height > d->limits->maxArea) {
        d->tooLarge = true;
        return false;
    }
    readColour(png, info, *d->colour);
    png_set_expand(png);
    png_set_strip_16(png);
    png_read_update_info(png, info);
    const int channels = png_get_channels(png, info);
    d->row.resize(png_get_rowbytes(png, info));
    if (png_get_bit_depth(png, info) != 8 || channels < 1 || channels > 4 ||
        d->row.size() != std::size_t{width} * static_cast<std::size_t>(channels)) {
        return false;
    }
    d->resizer = std::make_unique<RowResizer>(width, height, d->width, d->height, channels);
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, d->row.data(), nullptr);
        d->resizer->push(d->row.data());
    }
    return true;
}

}  // namespace

DecodeResult decodePngReduced(const std::uint8_t* data, std::size_t size, std::size_t width,
                              std::size_t height, const DecodeLimits& limits, Pixels& image,
                              PngColour& colour, std::string& error) {
    if (width == 0 || height == 0) return DecodeResult::NotHandled;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = "mémoire insuffisante pour la réduire";
        return DecodeResult::Failed;
    }
    Decode d{{data, size, 0}, width, height, &limits, nullptr, {}, &colour};
    bool made = false;
    bool memory = true;
    try {
        made = runDecode(png, info, &d);
    } catch (const std::bad_alloc&) {
        memory = false;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (d.interlaced) return DecodeResult::NotHandled;
    if (made && d.resizer && d.resizer->done()) {
        image = d.resizer->take();
        return DecodeResult::Done;
    }
    if (!memory) {
        error = "mémoire insuffisante pour la réduire";
    } else {
        error = d.tooLarge ? "image trop grande" : "image illisible ou endommagée";
    }
    return DecodeResult::Failed;
}

namespace {

// No exception may go through the library: a refused allocation becomes
// its own error.
void appendOutput(png_structp png, png_bytep data, png_size_t n) {
    bool appended = true;
    try {
        static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), n);
    } catch (const std::bad_alloc&) {
        appended = false;
    }
    if (!appended) png_error(png, "out of memory");
}

void flushOutput(png_structp) {}

bool runEncode(png_structp png, png_infop info, const Pixels* image, const PngColour* colour,
               std::string* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, appendOutput, flushOutput);
    static constexpr int kTypes[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                     PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width),
                 static_cast<png_uint_32>(image->height), 8, kTypes[image->channels - 1],
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!colour->icc.empty()) {
        png_set_iCCP(png, info, colour->iccName.c_str(), PNG_COMPRESSION_TYPE_BASE,
                     colour->icc.data(), static_cast<png_uint_32>(colour->icc.size()));
    }
    if (colour->srgbIntent >= 0) png_set_sRGB(png, info, colour->srgbIntent);
    if (colour->hasGamma) png_set_gAMA_fixed(png, info, colour->gamma);
    if (colour->hasChromaticities) {
        const std::int32_t* c = colour->chromaticities;
        png_set_cHRM_fixed(png, info, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    }
    png_write_info(png, info);
    const std::size_t stride = image->width * static_cast<std::size_t>(image->channels);
    for (std::size_t y = 0; y < image->height; ++y) {
        // The library only reads the row.
        png_write_row(png, const_cast<png_bytep>(image->samples.data() + y * stride));
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

namespace {

bool encodeOnce(const Pixels& image, const PngColour& colour, std::string& bytes) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::string out;
    bool made = false;
    try {
        made = runEncode(png, info, &image, &colour, &out);
    } catch (const std::bad_alloc&) {
        made = false;
    }
    png_destroy_write_struct(&png, &info);
    if (made) bytes = std::move(out);
    return made;
}

}  // namespace

bool encodePng(const Pixels& image, const PngColour& colour, std::string& bytes, std::string& error) {
    if (image.channels >= 1 && image.channels <= 4 && image.width != 0 && image.height != 0) {
        if (encodeOnce(image, colour, bytes)) return true;
        // A profile the library will not write: the copy without it.
        if (!colour.icc.empty()) {
            PngColour plain = colour;
            plain.icc.clear();
            if (encodeOnce(image, plain, bytes)) return true;
        }
    }
    error = "impossible de coder sa copie en PNG";
    return false;
}

}  // namespace lumigal
