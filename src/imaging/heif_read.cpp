#include "heif_read.h"

#include "area_reducer.h"
#include "decode_limits.h"
#include "heif_boxes.h"
#include "heif_handles.h"
#include "heif_planes.h"

#include <libheif/heif.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace lumigal {

namespace {

// Whether a thumbnail of tw x th has the shape of the w x h image (within a
// pixel of rounding).
bool hasShapeOf(std::size_t tw, std::size_t th, std::size_t w, std::size_t h) {
    if (tw == 0 || th == 0) return false;
    // |tw/th - w/h| within the rounding of the thumbnail's longer side.
    const std::uint64_t a = std::uint64_t{tw} * h, b = std::uint64_t{th} * w;
    const std::uint64_t diff = a > b ? a - b : b - a;
    return diff <= std::uint64_t{std::max(w, h)} * std::max<std::size_t>(1, std::max(tw, th) / 100 + 1);
}

// The thumbnail items of `primary` of its shape, with their sizes (at most
// 16 are looked at).
struct Thumbnail {
    HandlePtr handle;
    std::size_t width = 0, height = 0;
};
std::vector<Thumbnail> thumbnailsOf(heif_image_handle* primary) {
    std::vector<Thumbnail> found;
    const int count = heif_image_handle_get_number_of_thumbnails(primary);
    if (count <= 0 || count > 16) return found;
    std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
    const int listed = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
    const auto w = static_cast<std::size_t>(heif_image_handle_get_width(primary));
    const auto h = static_cast<std::size_t>(heif_image_handle_get_height(primary));
    for (int i = 0; i < listed; ++i) {
        heif_image_handle* raw = nullptr;
        if (heif_image_handle_get_thumbnail(primary, ids[static_cast<std::size_t>(i)], &raw).code !=
            heif_error_Ok) {
            continue;
        }
        HandlePtr thumbnail(raw);
        const int tw = heif_image_handle_get_width(thumbnail.get());
        const int th = heif_image_handle_get_height(thumbnail.get());
        if (tw > 0 && th > 0 && hasShapeOf(std::size_t(tw), std::size_t(th), w, h)) {
            found.push_back({std::move(thumbnail), std::size_t(tw), std::size_t(th)});
        }
    }
    return found;
}

// The thumbnail item of `primary` that fits, or nullptr.
HandlePtr fittingThumbnail(heif_image_handle* primary, std::size_t minWidth, std::size_t minHeight) {
    if (minWidth == 0 || minHeight == 0) return nullptr;
    HandlePtr best;
    std::size_t bestArea = 0;
    for (Thumbnail& t : thumbnailsOf(primary)) {
        const std::size_t area = t.width * t.height;
        // The smallest one that fits: the least to decode.
        if (t.width >= minWidth && t.height >= minHeight && (!best || area < bestArea)) {
            best = std::move(t.handle);
            bestArea = area;
        }
    }
    return best;
}

// The ICC profile of `handle` (none when it has only a colour description).
std::vector<std::uint8_t> iccProfileOf(const heif_image_handle* handle) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
    std::vector<std::uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
    if (icc.empty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok) {
        return {};
    }
    return icc;
}

// The primary image of `context`, once it has read `data`.
HandlePtr primaryImage(heif_context* context, const std::uint8_t* data, std::size_t size) {
    if (heif_context_read_from_memory_without_copy(context, data, size, nullptr).code != heif_error_Ok) {
        return nullptr;
    }
    heif_image_handle* primary = nullptr;
    if (heif_context_get_primary_image_handle(context, &primary).code != heif_error_Ok) return nullptr;
    return HandlePtr(primary);
}

// `source` decoded in its own planes and reduced to kReducedHint times the
// hint as they are converted to RGB. nullptr when its planes are not ones
// pushPlaneRows reads (the caller decodes it to RGB), or with `failed` when
// it cannot be decoded at all (`error` set when it is too large).
ImagePtr reducedFromPlanes(heif_image_handle* source, const heif_decoding_options* options,
                           std::size_t minWidth, std::size_t minHeight, bool& failed,
                           std::string& error) {
    heif_image* raw = nullptr;
    failed = heif_decode_image(source, &raw, heif_colorspace_undefined, heif_chroma_undefined, options)
                 .code != heif_error_Ok;
    if (failed) return nullptr;
    const HeifImagePtr decoded(raw);
    if (!planeRowsReadable(decoded.get())) return nullptr;
    const int dw = heif_image_get_width(decoded.get(), heif_channel_R);
    const int dh = heif_image_get_height(decoded.get(), heif_channel_R);
    if (dw <= 0 || dh <= 0 || std::size_t(dw) < kReducedHint * minWidth ||
        std::size_t(dh) < kReducedHint * minHeight) {
        return nullptr;
    }
    AreaReducer reducer(std::size_t(dw), std::size_t(dh), kReducedHint * minWidth, kReducedHint * minHeight);
    pushPlaneRows(decoded.get(), reducer);
    ImagePtr reduced = reducer.finish(false, "HEIC");
    if (!reduced) {
        failed = true;
        error = "image trop grande";
    }
    return reduced;
}

// The primary image of `data`, a grid of W x H as shown, decoded a row of
// tiles at a time (each tile an image of its own once its hidden flag is
// cleared in a copy of the bytes) into an area reduction to kReducedHint
// times the hint: at most one row of tiles is held. The grid's turns and
// mirrors are applied to the reduced image. nullptr when it is no grid that
// can be read so (the caller decodes it whole), with `failed` when a tile
// cannot be decoded.
ImagePtr reducedFromTiles(const std::uint8_t* data, std::size_t size, std::size_t shownWidth,
                          std::size_t shownHeight, std::size_t minWidth, std::size_t minHeight,
                          bool& failed, std::string& error) {
    const std::optional<HeifGridTiles> grid = heifGridTiles(data, size);
    if (!grid) return nullptr;
    // Its tiles are laid out as stored: a quarter turn swaps the sides.
    const bool quarter = grid->orientation >= 5;
    const std::size_t width = quarter ? shownHeight : shownWidth;
    const std::size_t height = quarter ? shownWidth : shownHeight;
    if (quarter) std::swap(minWidth, minHeight);
    std::vector<std::uint8_t> bytes(data, data + size);
    for (std::size_t at : grid->flagOffsets) bytes[at] &= 0xfe;
    const ContextPtr context(heif_context_alloc());
    if (!context || heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(), nullptr)
                            .code != heif_error_Ok) {
        return nullptr;
    }
    std::vector<HandlePtr> tiles;
    for (const std::uint32_t id : grid->tiles) {
        heif_image_handle* raw = nullptr;
        if (heif_context_get_image_handle(context.get(), id, &raw).code != heif_error_Ok) return nullptr;
        tiles.emplace_back(raw);
        if (heif_image_handle_has_alpha_channel(raw) ||
            heif_image_handle_get_width(raw) != heif_image_handle_get_width(tiles[0].get()) ||
            heif_image_handle_get_height(raw) != heif_image_handle_get_height(tiles[0].get())) {
            return nullptr;
        }
    }
    const auto tw = static_cast<std::size_t>(heif_image_handle_get_width(tiles[0].get()));
    const auto th = static_cast<std::size_t>(heif_image_handle_get_height(tiles[0].get()));
    // Tiles larger than the image are no grid a camera writes.
    if (tw == 0 || th == 0 || tw > width || th > height) return nullptr;
    const std::size_t columns = (width + tw - 1) / tw, rows = (height + th - 1) / th;
    if (columns * rows != tiles.size()) return nullptr;
    AreaReducer reducer(width, height, kReducedHint * minWidth, kReducedHint * minHeight);
    std::vector<std::uint8_t> line(width * 3);
    const RowLayout layout{false, 3, true};
    for (std::size_t r = 0; r < rows; ++r) {
        std::vector<HeifImagePtr> band;
        std::vector<std::pair<const std::uint8_t*, int>> planes;
        for (std::size_t c = 0; c < columns; ++c) {
            heif_image* raw = nullptr;
            failed = heif_decode_image(tiles[r * columns + c].get(), &raw, heif_colorspace_RGB,
                                       heif_chroma_interleaved_RGB, nullptr)
                         .code != heif_error_Ok;
            if (failed) return nullptr;
            band.emplace_back(raw);
            int stride = 0;
            const std::uint8_t* plane = heif_image_get_plane_readonly(raw, heif_channel_interleaved, &stride);
            failed = !plane || heif_image_get_width(raw, heif_channel_interleaved) != int(tw) ||
                     heif_image_get_height(raw, heif_channel_interleaved) != int(th);
            if (failed) return nullptr;
            planes.emplace_back(plane, stride);
        }
        for (std::size_t y = 0; y < th && r * th + y < height; ++y) {
            for (std::size_t c = 0; c < columns; ++c) {
                const std::size_t across = std::min(tw, width - c * tw);
                std::copy_n(planes[c].first + std::ptrdiff_t(y) * planes[c].second, across * 3,
                            line.data() + c * tw * 3);
            }
            reducer.push(line.data(), layout);
        }
    }
    ImagePtr reduced = reducer.finish(false, "HEIC");
    if (reduced) reduced = orientImage(std::move(reduced), grid->orientation);
    if (!reduced) {
        failed = true;
        error = "image trop grande";
    }
    return reduced;
}

}  // namespace

HeifPreview largestHeifThumbnail(const std::uint8_t* data, std::size_t size) {
    const ContextPtr context(heif_context_alloc());
    if (!context) return {};
    const HandlePtr primary = primaryImage(context.get(), data, size);
    HeifPreview best;
    if (!primary) return best;
    for (const Thumbnail& t : thumbnailsOf(primary.get())) {
        if (t.width * t.height > best.width * best.height) best = {t.width, t.height};
    }
    return best;
}

ImagePtr decodeHeif(const std::uint8_t* data, std::size_t size, std::size_t minWidth,
                    std::size_t minHeight, std::uint64_t maxSide, std::uint64_t maxArea,
                    std::string& error) {
    error.clear();
    ContextPtr context(heif_context_alloc());
    if (!context) return nullptr;
    heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(maxSide));
    const HandlePtr primary = primaryImage(context.get(), data, size);
    if (!primary) return nullptr;
    HandlePtr chosen = fittingThumbnail(primary.get(), minWidth, minHeight);
    heif_image_handle* source = chosen ? chosen.get() : primary.get();
    const auto w = static_cast<std::uint64_t>(heif_image_handle_get_width(source));
    const auto h = static_cast<std::uint64_t>(heif_image_handle_get_height(source));
    if (w == 0 || h == 0) return nullptr;
    if (w > maxSide || h > maxSide || w * h > maxArea) {
        error = "image trop grande";
        return nullptr;
    }
    const bool alpha = heif_image_handle_has_alpha_channel(source) != 0;
    const DecodingOptionsPtr options(heif_decoding_options_alloc());
    // With alpha only when much larger (see decode_limits.h).
    const std::size_t above = alpha ? kReduceTranslucentAboveHint : kReduceAboveHint;
    const bool reduce = minWidth > 0 && minHeight > 0 && w >= above * minWidth && h >= above * minHeight;
    // A thumbnail item without a profile of its own has the image's.
    std::vector<std::uint8_t> icc = iccProfileOf(source);
    if (icc.empty() && chosen) icc = iccProfileOf(primary.get());
    if (reduce && !alpha && !chosen) {
        // A grid, a row of tiles at a time.
        bool failed = false;
        if (ImagePtr reduced = reducedFromTiles(data, size, w, h, minWidth, minHeight, failed, error)) {
            attachIccProfile(*reduced, icc.data(), icc.size());
            return reduced;
        }
        if (failed) return nullptr;
    }
    if (reduce && !alpha && heif_image_handle_get_luma_bits_per_pixel(source) == 8 &&
        heif_image_handle_get_chroma_bits_per_pixel(source) == 8) {
        // Its planes as decoded, converted a row at a time.
        bool failed = false;
        if (ImagePtr reduced = reducedFromPlanes(source, options.get(), minWidth, minHeight, failed, error)) {
            attachIccProfile(*reduced, icc.data(), icc.size());
            return reduced;
        }
        if (failed) return nullptr;
    }
    heif_image* rawImage = nullptr;
    if (heif_decode_image(source, &rawImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          options.get())
            .code != heif_error_Ok) {
        return nullptr;
    }
    const HeifImagePtr decoded(rawImage);
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int dw = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int dh = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    if (!plane || dw <= 0 || dh <= 0 || stride < dw * (alpha ? 4 : 3)) return nullptr;
    if (reduce && std::size_t(dw) >= above * minWidth && std::size_t(dh) >= above * minHeight) {
        // Reduced from the decoder's rows: the image is not held twice more.
        AreaReducer reducer(std::size_t(dw), std::size_t(dh), kReducedHint * minWidth,
                            kReducedHint * minHeight);
        const RowLayout layout{false, alpha ? 4 : 3, !alpha};
        for (int y = 0; y < dh; ++y) reducer.push(plane + std::ptrdiff_t{y} * stride, layout);
        ImagePtr reduced = reducer.finish(alpha, "HEIC");
        if (!reduced) {
            error = "image trop grande";
            return nullptr;
        }
        attachIccProfile(*reduced, icc.data(), icc.size());
        return reduced;
    }

    ImageInfoPtr info(AcquireImageInfo());
    ImagePtr image(AcquireImage(info.get()));
    ExceptionPtr exception(AcquireExceptionInfo());
    if (!image || SetImageExtent(image.get(), std::size_t(dw), std::size_t(dh)) == MagickFalse) {
        error = "image trop grande";
        return nullptr;
    }
    if (alpha) image->matte = MagickTrue;
    for (int y = 0; y < dh; ++y) {
        if (ImportImagePixels(image.get(), 0, y, std::size_t(dw), 1, alpha ? "RGBA" : "RGB",
                              CharPixel, plane + std::ptrdiff_t{y} * stride) == MagickFalse) {
            error = "image trop grande";
            return nullptr;
        }
    }
    attachIccProfile(*image, icc.data(), icc.size());
    return image;
}

}  // namespace lumigal
