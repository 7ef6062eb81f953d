#include "reduced_read.h"

#include "area_reducer.h"
#include "png_idat_rows.h"
#include "png_memory_input.h"

#include "imaging/image_library.h"

#include <png.h>

#include <algorithm>
#include <new>
#include <csetjmp>
#include <cstring>
#include <optional>
#include <vector>

namespace lumigal {

namespace {

// The image data of an 8-bit RGB or RGBA PNG read on our own, from the
// first IDAT chunk on, into `acc`: false when anything is amiss (the file
// is then read again through the library, which says what it says).
bool readIdatRows(const PngMemoryInput& source, std::size_t firstChunk, AreaReducer& acc,
                  std::size_t columns, std::size_t rows, int channels) {
    try {
        PngIdatRows idat(source.data, source.size, firstChunk,
                         columns * static_cast<std::size_t>(channels), rows,
                         static_cast<std::size_t>(channels));
        RowLayout layout;
        layout.channels = channels;
        layout.opaque = channels == 3;
        for (std::size_t y = 0; y < rows; ++y) {
            const std::uint8_t* row = idat.next();
            if (!row) return false;
            acc.push(row, layout);
        }
        return idat.complete();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

enum class RowsRead { Done, Failed, Again };

// The rows of a PNG that is not interlaced, as ImageMagick would decode
// them (8-bit samples widened to 16 bits, grey as RGB, opacity = 1 -
// alpha), added into `acc`; with `own`, an 8-bit RGB or RGBA image without
// a transparent colour has its image data read by readIdatRows (Again: it
// could not, read it again without). Only plain data and pointers live
// across the library's error jump.
RowsRead decodePngRows(PngMemoryInput* source, AreaReducer* acc, std::size_t columns,
                       std::size_t rows, std::vector<std::uint8_t>* row,
                       std::vector<std::uint8_t>* icc, bool own) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quietPngWarning);
    if (!png) return RowsRead::Failed;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return RowsRead::Failed;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return RowsRead::Failed;
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
        return RowsRead::Failed;
    }
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileSize) && profile) {
        icc->assign(profile, profile + profileSize);
    }
    // The library has read up to the first IDAT chunk's type.
    if (own && depth == 8 && (type == PNG_COLOR_TYPE_RGB || type == PNG_COLOR_TYPE_RGB_ALPHA) &&
        !png_get_valid(png, info, PNG_INFO_tRNS) && source->at >= 8 &&
        std::memcmp(source->data + source->at - 4, "IDAT", 4) == 0) {
        const std::size_t firstChunk = source->at - 8;
        png_destroy_read_struct(&png, &info, nullptr);
        return readIdatRows(*source, firstChunk, *acc, columns, rows, type == PNG_COLOR_TYPE_RGB ? 3 : 4)
                   ? RowsRead::Done
                   : RowsRead::Again;
    }
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, depth == 16 ? 0xffff : 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const std::size_t bytes = png_get_rowbytes(png, info);
    const bool wide = png_get_bit_depth(png, info) == 16;
    if (bytes != std::size_t{width} * 4 * (wide ? 2 : 1)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return RowsRead::Failed;
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
    return RowsRead::Done;
}

}  // namespace

ImagePtr readPngReduced(const std::string& path, std::size_t width, std::size_t height,
                        std::string& error, std::size_t translucentFactor) {
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
    if (header->matte != MagickFalse &&
        (header->columns < translucentFactor * width || header->rows < translucentFactor * height)) {
        return nullptr;
    }
    std::optional<AreaReducer> acc(std::in_place, header->columns, header->rows, width, height);
    PngMemoryInput source{bytes->data.data(), bytes->data.size(), 0};
    std::vector<std::uint8_t> row, icc;
    RowsRead read = decodePngRows(&source, &*acc, header->columns, header->rows, &row, &icc, true);
    if (read == RowsRead::Again) {
        acc.emplace(header->columns, header->rows, width, height);
        source.at = 0;
        icc.clear();
        read = decodePngRows(&source, &*acc, header->columns, header->rows, &row, &icc, false);
    }
    if (read != RowsRead::Done || !acc->done()) return nullptr;
    // Written in the source's own format when the thumbnail keeps it.
    ImagePtr reduced = acc->finish(header->matte != MagickFalse, "PNG");
    if (reduced) attachIccProfile(*reduced, icc.data(), icc.size());
    return reduced;
}

}  // namespace lumigal
