#include "heif_planes.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lumigal {

namespace {

// What turns one YCbCr sample into RGB.
struct Conversion {
    float kr = 0.299f, kb = 0.114f;  // BT.601, libheif's choice without a description
    bool fullRange = true;
};

// The image's conversion; false for coefficients this does not know.
bool conversionOf(const heif_image* image, Conversion& conversion) {
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_get_nclx_color_profile(image, &nclx).code != heif_error_Ok || !nclx) return true;
    bool known = true;
    switch (nclx->matrix_coefficients) {
        case heif_matrix_coefficients_ITU_R_BT_709_5:
            conversion.kr = 0.2126f;
            conversion.kb = 0.0722f;
            break;
        case heif_matrix_coefficients_unspecified:
        case heif_matrix_coefficients_ITU_R_BT_470_6_System_B_G:
        case heif_matrix_coefficients_ITU_R_BT_601_6:
            break;
        case heif_matrix_coefficients_ITU_R_BT_2020_2_non_constant_luminance:
            conversion.kr = 0.2627f;
            conversion.kb = 0.0593f;
            break;
        default:
            known = false;
    }
    conversion.fullRange = nclx->full_range_flag != 0;
    heif_nclx_color_profile_free(nclx);
    return known;
}

std::uint8_t clamped(float v) { return static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f)); }

void pushRgbPlaneRows(const heif_image* image, AreaReducer& reducer) {
    const int width = heif_image_get_width(image, heif_channel_R);
    const int height = heif_image_get_height(image, heif_channel_R);
    int strides[3] = {0, 0, 0};
    const std::uint8_t* planes[3] = {heif_image_get_plane_readonly(image, heif_channel_R, &strides[0]),
                                     heif_image_get_plane_readonly(image, heif_channel_G, &strides[1]),
                                     heif_image_get_plane_readonly(image, heif_channel_B, &strides[2])};
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    for (int line = 0; line < height; ++line) {
        for (int p = 0; p < 3; ++p) {
            const std::uint8_t* from = planes[p] + std::ptrdiff_t{line} * strides[p];
            for (int x = 0; x < width; ++x) row[3 * std::size_t(x) + std::size_t(p)] = from[x];
        }
        reducer.push(row.data(), RowLayout{false, 3, true});
    }
}

}  // namespace

bool planeRowsReadable(const heif_image* image) {
    if (!image || heif_image_has_channel(image, heif_channel_Alpha)) return false;
    const heif_chroma chroma = heif_image_get_chroma_format(image);
    if (heif_image_get_colorspace(image) == heif_colorspace_RGB) {
        // Planar RGB (libheif converts a grid's tiles so).
        return chroma == heif_chroma_444 && heif_image_get_bits_per_pixel_range(image, heif_channel_R) == 8 &&
               heif_image_get_bits_per_pixel_range(image, heif_channel_G) == 8 &&
               heif_image_get_bits_per_pixel_range(image, heif_channel_B) == 8;
    }
    if (heif_image_get_colorspace(image) == heif_colorspace_monochrome) {
        if (chroma != heif_chroma_monochrome) return false;
    } else if (heif_image_get_colorspace(image) != heif_colorspace_YCbCr ||
               (chroma != heif_chroma_420 && chroma != heif_chroma_422 && chroma != heif_chroma_444) ||
               heif_image_get_bits_per_pixel_range(image, heif_channel_Cb) != 8 ||
               heif_image_get_bits_per_pixel_range(image, heif_channel_Cr) != 8) {
        return false;
    }
    Conversion conversion;
    return heif_image_get_bits_per_pixel_range(image, heif_channel_Y) == 8 &&
           conversionOf(image, conversion);
}

void pushPlaneRows(const heif_image* image, AreaReducer& reducer) {
    if (heif_image_get_colorspace(image) == heif_colorspace_RGB) {
        pushRgbPlaneRows(image, reducer);
        return;
    }
    Conversion c;
    conversionOf(image, c);
    const int width = heif_image_get_width(image, heif_channel_Y);
    const int height = heif_image_get_height(image, heif_channel_Y);
    int yStride = 0, cbStride = 0, crStride = 0;
    const std::uint8_t* y = heif_image_get_plane_readonly(image, heif_channel_Y, &yStride);
    const heif_chroma chroma = heif_image_get_chroma_format(image);
    const bool grey = chroma == heif_chroma_monochrome;
    const std::uint8_t* cb = grey ? nullptr : heif_image_get_plane_readonly(image, heif_channel_Cb, &cbStride);
    const std::uint8_t* cr = grey ? nullptr : heif_image_get_plane_readonly(image, heif_channel_Cr, &crStride);
    const int shiftX = chroma == heif_chroma_444 ? 0 : 1;
    const int shiftY = chroma == heif_chroma_420 ? 1 : 0;
    // Y' = scale (Y - offset); R = Y' + rCr Cr; G = Y' + gCb Cb + gCr Cr; B = Y' + bCb Cb.
    const float kg = 1.0f - c.kr - c.kb;
    const float yScale = c.fullRange ? 1.0f : 255.0f / 219.0f;
    const float yOffset = c.fullRange ? 0.0f : 16.0f;
    const float cScale = c.fullRange ? 1.0f : 255.0f / 224.0f;
    const float rCr = 2 * (1 - c.kr) * cScale, bCb = 2 * (1 - c.kb) * cScale;
    const float gCb = -2 * c.kb * (1 - c.kb) / kg * cScale, gCr = -2 * c.kr * (1 - c.kr) / kg * cScale;
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    const RowLayout layout{false, 3, true};
    for (int line = 0; line < height; ++line) {
        const std::uint8_t* ys = y + std::ptrdiff_t{line} * yStride;
        if (grey) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t v = clamped((ys[x] - yOffset) * yScale);
                row[3 * std::size_t(x)] = row[3 * std::size_t(x) + 1] = row[3 * std::size_t(x) + 2] = v;
            }
        } else {
            const std::uint8_t* cbs = cb + std::ptrdiff_t{line >> shiftY} * cbStride;
            const std::uint8_t* crs = cr + std::ptrdiff_t{line >> shiftY} * crStride;
            for (int x = 0; x < width; ++x) {
                const float l = (ys[x] - yOffset) * yScale;
                const float u = cbs[x >> shiftX] - 128.0f, v = crs[x >> shiftX] - 128.0f;
                std::uint8_t* p = &row[3 * std::size_t(x)];
                p[0] = clamped(l + rCr * v);
                p[1] = clamped(l + gCb * u + gCr * v);
                p[2] = clamped(l + bCb * u);
            }
        }
        reducer.push(row.data(), layout);
    }
}

}  // namespace lumigal
