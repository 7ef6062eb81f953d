// Reads a progressive JPEG at one eighth of its size from the DC
// coefficients alone.
//
// At that scale every output pixel is the mean of one 8 x 8 block, which is
// its DC coefficient: the other 63 coefficients of every block are never
// decoded nor held. The JPEG library, asked for the same scale, must keep
// all coefficients of a progressive image until its last scan (2 bytes per
// sample: about 70 MB for 18 megapixels) and decode every AC scan; here the
// AC scans are skipped and the memory is 1/64 of that. The pixels are those
// of the library's own 1/8 scaling (DC scaled and rounded the same way,
// chroma repeated, the same fixed-point colour conversion), with one
// exception: where chroma is halved both ways (4:2:0), the library decodes
// chroma at 2 x 2 per block from its first AC coefficients, and here it is
// the block's mean, repeated (the same average, less detail).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumigal {

struct EighthImage {
    std::size_t width = 0;   // ceil(source width / 8)
    std::size_t height = 0;  // ceil(source height / 8)
    int channels = 0;        // 1 (grey) or 3 (RGB)
    std::vector<std::uint8_t> pixels;  // rows of width * channels bytes
};

// What the frame header of a JPEG tells, when it is one this reader takes.
struct ProgressiveJpegFrame {
    std::size_t width = 0;
    std::size_t height = 0;
    int components = 0;
};

// The frame of `data` when it is a progressive, Huffman-coded, 8-bit JPEG
// with one (grey) or three (YCbCr) components whose sampling factors divide
// the largest ones; nullopt for any other data, well formed or not.
std::optional<ProgressiveJpegFrame> progressiveJpegFrame(const std::uint8_t* data,
                                                         std::size_t size);

// The image of `data` at one eighth of its size. nullopt when the data are
// not a JPEG that progressiveJpegFrame takes, when the image has more than
// `maxPixels` pixels at full size, when a table a scan needs is missing, or
// when no DC scan is found; damaged scan data give grey or garbled blocks,
// never an error (as the JPEG library does with a warning). The work is
// bounded by the image size times the number of DC scans, itself bounded.
std::optional<EighthImage> decodeJpegEighth(const std::uint8_t* data, std::size_t size,
                                            std::uint64_t maxPixels);

}  // namespace lumigal
