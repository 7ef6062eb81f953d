#include "reduced_read.h"

#include "area_reducer.h"
#include "png_memory_input.h"

#include "imaging/image_library.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <optional>
#include <vector>

namespace lumigal {

namespace {

// The rows of a PNG that is not interlaced, as ImageMagick would decode
// them (8-bit samples widened to 16 bits, grey as RGB, opacity = 1 -
// alpha), added into `acc`. Only plain data and pointers live across the
// library's error jump.
bool decodePngRows(PngMemoryInput* source, AreaReducer* acc, std::size_t columns, std::size_t rows,
                   std::vector<std::uint8_t>* row, std::vector<std::uint8_t>* icc) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quietPngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, source, readPngMemory);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int type = png_get_color_type(png, info);
    if (width != columns || height != rows ||
        png_get_interlace_type(png, info) != PNG_INTERLACE_NONE ||
        (type & PNG_COLOR_MASK_PALETTE)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileSize) && profile) {
        icc->assign(profile, profile + profileSize);
    }
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, depth == 16 ? 0xffff : 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const std::size_t bytes = png_get_rowbytes(png, info);
    const bool wide = png_get_bit_depth(png, info) == 16;
    if (bytes != std::size_t{width} * 4 * (wide ? 2 : 1)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    row->resize(bytes);
    RowLayout layout;
    layout.wide = wide;
    layout.opaque = (type & PNG_COLOR_MASK_ALPHA) == 0 && !png_get_valid(png, info, PNG_INFO_tRNS);
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, row->data(), nullptr);
        acc->push(row->data(), layout);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

ImagePtr readPngReduced(const std::string& path, std::size_t width, std::size_t height,
                        std::string& error) {
    if (width == 0 || height == 0) return nullptr;
    if (!imageLibraryStarted()) {
        error = kLibraryNotStarted;
        return nullptr;
    }
    const std::optional<FileBytes> bytes = readImageFile(path, error);
    if (!bytes || bytes->data.empty()) return nullptr;
    if (sniffImageFormat(bytes->data.data(), bytes->data.size()) != ImageFormat::PNG) {
        return nullptr;
    }
    ImageInfoPtr info(AcquireImageInfo());
    CopyMagickString(info->magick, "PNG", MaxTextExtent);
    info->affirm = MagickTrue;
    info->scene = 0;
    info->number_scenes = 1;
    ExceptionPtr exception(AcquireExceptionInfo());
    ImagePtr header(PingBlob(info.get(), bytes->data.data(), bytes->data.size(), exception.get()));
    if (!header || exception->severity >= ErrorException) return nullptr;
    if (header->storage_class != DirectClass || header->colors != 0 ||
        header->columns < 2 * width || header->rows < 2 * height) {
        return nullptr;
    }
    AreaReducer acc(header->columns, header->rows, width, height);
    PngMemoryInput source{bytes->data.data(), bytes->data.size(), 0};
    std::vector<std::uint8_t> row, icc;
    if (!decodePngRows(&source, &acc, header->columns, header->rows, &row, &icc) || !acc.done()) {
        return nullptr;
    }
    // Written in the source's own format when the thumbnail keeps it.
    ImagePtr reduced = acc.finish(header->matte != MagickFalse, "PNG");
    if (reduced) attachIccProfile(*reduced, icc.data(), icc.size());
    return reduced;
}

}  // namespace lumigal
