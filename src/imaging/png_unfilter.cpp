#include "png_unfilter.h"

#include <emmintrin.h>

#include <cstdlib>
#include <cstring>

namespace lumigal {

namespace {

enum Filter { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// Any byte depth, one byte at a time: the reference, and the path for
// pixels of other sizes than 3 or 4 bytes.
void unfilterBytes(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
                   std::size_t bpp) {
    for (std::size_t i = 0; i < length; ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0;
        const int b = prior[i];
        const int c = i >= bpp ? prior[i - bpp] : 0;
        int add = 0;
        switch (filter) {
            case kSub:
                add = a;
                break;
            case kAverage:
                add = (a + b) >> 1;
                break;
            case kPaeth: {
                const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                add = (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c;
                break;
            }
            default:
                break;
        }
        row[i] = static_cast<std::uint8_t>(row[i] + add);
    }
}

// One pixel of 3 or 4 bytes in the low lanes of a register, and back.
template <std::size_t Bpp>
__m128i loadPixel(const std::uint8_t* p) {
    std::uint32_t v = 0;
    std::memcpy(&v, p, Bpp);
    return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <std::size_t Bpp>
void storePixel(std::uint8_t* p, __m128i v) {
    const auto bits = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
    std::memcpy(p, &bits, Bpp);
}

// Sub, Average and Paeth depend on the pixel to the left: they go one
// pixel at a time, its bytes side by side (16-bit lanes for Paeth).
template <std::size_t Bpp>
void unfilterPixels(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
    const std::size_t pixels = length / Bpp;
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero;  // the unfiltered pixel to the left
    __m128i c = zero;  // the one above it
    if (filter == kSub) {
        // Sixteen bytes at a time: a running sum of the pixels in the
        // register (by shifts of one, two and four pixels), plus the last
        // pixel before them. With 3 bytes a pixel, 5 pixels a step and the
        // 16th byte kept as it was.
        constexpr std::size_t kPixels = 16 / Bpp;
        constexpr std::size_t kBytes = kPixels * Bpp;
        const __m128i keep = Bpp == 3 ? _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1)
                                      : zero;
        std::size_t x = 0;
        for (; (x + kPixels) * Bpp + (16 - kBytes) <= length; x += kPixels) {
            std::uint8_t* p = row + x * Bpp;
            const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            __m128i v = _mm_add_epi8(raw, _mm_slli_si128(raw, Bpp));
            v = _mm_add_epi8(v, _mm_slli_si128(v, 2 * Bpp));
            if constexpr (Bpp == 3) v = _mm_add_epi8(v, _mm_slli_si128(v, 4 * Bpp));
            // The pixel before, in every pixel's place.
            __m128i carry = a;
            carry = _mm_or_si128(carry, _mm_slli_si128(carry, Bpp));
            carry = _mm_or_si128(carry, _mm_slli_si128(carry, 2 * Bpp));
            if constexpr (Bpp == 3) carry = _mm_or_si128(carry, _mm_slli_si128(carry, 4 * Bpp));
            v = _mm_add_epi8(v, carry);
            v = _mm_or_si128(_mm_andnot_si128(keep, v), _mm_and_si128(keep, raw));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
            a = loadPixel<Bpp>(p + (kPixels - 1) * Bpp);
        }
        for (; x < pixels; ++x) {
            a = _mm_add_epi8(loadPixel<Bpp>(row + x * Bpp), a);
            storePixel<Bpp>(row + x * Bpp, a);
        }
    } else if (filter == kAverage) {
        const __m128i one = _mm_set1_epi8(1);
        for (std::size_t x = 0; x < pixels; ++x) {
            const __m128i b = loadPixel<Bpp>(prior + x * Bpp);
            // (a + b) >> 1: the rounded-up mean less the bit it rounded up.
            const __m128i mean =
                _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
            a = _mm_add_epi8(loadPixel<Bpp>(row + x * Bpp), mean);
            storePixel<Bpp>(row + x * Bpp, a);
        }
    } else {
        for (std::size_t x = 0; x < pixels; ++x) {
            const __m128i b = _mm_unpacklo_epi8(loadPixel<Bpp>(prior + x * Bpp), zero);
            const __m128i left = _mm_unpacklo_epi8(a, zero);
            const __m128i up = _mm_sub_epi16(b, c);    // p - a
            const __m128i side = _mm_sub_epi16(left, c);  // p - b
            const __m128i both = _mm_add_epi16(up, side);  // p - c
            const auto absolute = [&](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
            const __m128i pa = absolute(up), pb = absolute(side), pc = absolute(both);
            const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
            const __m128i takeA = _mm_cmpeq_epi16(pa, least);
            const __m128i takeB = _mm_cmpeq_epi16(pb, least);
            __m128i predictor = _mm_or_si128(_mm_and_si128(takeB, b), _mm_andnot_si128(takeB, c));
            predictor = _mm_or_si128(_mm_and_si128(takeA, left), _mm_andnot_si128(takeA, predictor));
            a = _mm_add_epi8(loadPixel<Bpp>(row + x * Bpp), _mm_packus_epi16(predictor, zero));
            storePixel<Bpp>(row + x * Bpp, a);
            c = b;
        }
    }
}

}  // namespace

bool unfilterPngRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
                    std::size_t bpp) {
    switch (filter) {
        case kNone:
            return true;
        case kUp:
            for (std::size_t i = 0; i < length; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
            return true;
        case kSub:
        case kAverage:
        case kPaeth:
            if (bpp == 4 && length % 4 == 0) {
                unfilterPixels<4>(filter, row, prior, length);
            } else if (bpp == 3 && length % 3 == 0) {
                unfilterPixels<3>(filter, row, prior, length);
            } else {
                unfilterBytes(filter, row, prior, length, bpp);
            }
            return true;
        default:
            return false;
    }
}

}  // namespace lumigal
