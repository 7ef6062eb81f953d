#include "heif_planes.h"

#include <cstdint>
#include <vector>

namespace lumigal {

bool planeRowsReadable(const heif_image* image) {
    return image && !heif_image_has_channel(image, heif_channel_Alpha) &&
           heif_image_get_colorspace(image) == heif_colorspace_RGB &&
           heif_image_get_chroma_format(image) == heif_chroma_444 &&
           heif_image_get_bits_per_pixel_range(image, heif_channel_R) == 8 &&
           heif_image_get_bits_per_pixel_range(image, heif_channel_G) == 8 &&
           heif_image_get_bits_per_pixel_range(image, heif_channel_B) == 8;
}

void pushPlaneRows(const heif_image* image, AreaReducer& reducer) {
    const int width = heif_image_get_width(image, heif_channel_R);
    const int height = heif_image_get_height(image, heif_channel_R);
    int strides[3] = {0, 0, 0};
    const std::uint8_t* planes[3] = {heif_image_get_plane_readonly(image, heif_channel_R, &strides[0]),
                                     heif_image_get_plane_readonly(image, heif_channel_G, &strides[1]),
                                     heif_image_get_plane_readonly(image, heif_channel_B, &strides[2])};
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    const RowLayout layout{false, 3, true};
    for (int line = 0; line < height; ++line) {
        for (std::size_t p = 0; p < 3; ++p) {
            const std::uint8_t* from = planes[p] + std::ptrdiff_t{line} * strides[p];
            for (int x = 0; x < width; ++x) row[3 * std::size_t(x) + p] = from[x];
        }
        reducer.push(row.data(), layout);
    }
}

}  // namespace lumigal
