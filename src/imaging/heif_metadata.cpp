#include "heif_metadata.h"

#include "heif_boxes.h"
#include "heif_handles.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>

namespace lumigal {

namespace {

// The first block of `type` (and of `contentType`, when given).
std::vector<std::uint8_t> block(heif_image_handle* handle, const char* type, const char* contentType) {
    heif_item_id ids[16];
    const int n = heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids, 16);
    for (int i = 0; i < n; ++i) {
        if (contentType) {
            const char* content = heif_image_handle_get_metadata_content_type(handle, ids[i]);
            if (!content || std::strcmp(content, contentType) != 0) continue;
        }
        std::vector<std::uint8_t> bytes(heif_image_handle_get_metadata_size(handle, ids[i]));
        if (bytes.empty() || heif_image_handle_get_metadata(handle, ids[i], bytes.data()).code != heif_error_Ok) {
            continue;
        }
        return bytes;
    }
    return {};
}

}  // namespace

HeifMetadata heifMetadata(const std::uint8_t* data, std::size_t size) {
    HeifMetadata found;
    // A file with more items than any photo is never given to libheif: its
    // parse alone would take minutes.
    if (!heifBoxesWithinBounds(countHeifBoxes(data, size))) return found;
    const ContextPtr context(heif_context_alloc());
    if (!context ||
        heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code != heif_error_Ok) {
        return found;
    }
    heif_image_handle* raw = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &raw).code != heif_error_Ok) return found;
    const HandlePtr handle(raw);
    // The Exif item starts with the offset of the TIFF header after it.
    std::vector<std::uint8_t> exif = block(handle.get(), "Exif", nullptr);
    if (exif.size() >= 4) {
        const std::size_t skip = 4 + (std::size_t{exif[0]} << 24 | std::size_t{exif[1]} << 16 |
                                      std::size_t{exif[2]} << 8 | exif[3]);
        if (skip < exif.size()) found.exif.assign(exif.begin() + static_cast<std::ptrdiff_t>(skip), exif.end());
    }
    const std::vector<std::uint8_t> xmp = block(handle.get(), "mime", "application/rdf+xml");
    found.xmp.assign(xmp.begin(), xmp.end());
    return found;
}

}  // namespace lumigal
