// What the imaging library's own decoders may take, besides the image
// library's resource limits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumigal {

// A JPEG whose scans each hold only part of the image (progressive, or one
// component per scan) is decoded by keeping the coefficients of the whole
// image, 128 bytes a block, whatever the scale it is decoded at. Over this
// it is refused, unless it is read from its DC coefficients alone.
inline constexpr std::uint64_t kMaxJpegCoefficientBytes = std::uint64_t{160} << 20;

// The most scans a progressive JPEG may have: each one goes over the
// coefficients of the whole image, so thousands of tiny scans in a small
// file would take minutes.
inline constexpr int kMaxJpegScans = 1000;

// The thumbnail maker asks a decoder for at least twice the thumbnail (its
// size hint), and reduces a source of 4 times the thumbnail or more both
// ways to exactly 4 times by an area average before its options apply (the
// options then work on that many pixels, not on a photo's millions: the
// contrast stretch, with a sine for each pixel, took a fifth of the time
// of a HEIC thumbnail at 8 times; its thumbnails differ from those made at
// full size by 50 dB PSNR or more). A
// decoder that gives its rows one by one makes that reduction as it reads:
// a source of kReduceAboveHint times the hint or more comes at exactly
// kReducedHint times the hint, and is never held whole.
inline constexpr std::size_t kReduceAboveHint = 2;
inline constexpr std::size_t kReducedHint = 2;
// An image with an alpha channel only from this many times the hint: the
// contrast stretch of colours that transparency hides, then averaged by
// their alpha, is not the same before and after the reduction (a noisy,
// nearly clear PNG changed by 29 dB), and a JPEG thumbnail shows them.
inline constexpr std::size_t kReduceTranslucentAboveHint = 8;

// The bounds of one decode.
struct DecodeLimits {
    std::size_t maxSide = 0;     // pixels, each way
    std::uint64_t maxArea = 0;   // pixels
    std::uint64_t maxMemory = 0; // bytes the decoder may allocate in all
};

}  // namespace lumigal
