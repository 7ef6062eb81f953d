// An area average of an image that arrives row by row: each target pixel
// the mean of the source area it covers, as ScaleImage makes it (colours
// weighted by their alpha), so a decoder that gives rows reduces a large
// image as it reads and never holds it whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "magick_image.h"

namespace lumigal {

// The layout of the rows given: 8 or 16 bits a sample (16 bits big-endian,
// as PNG has them), RGB or RGBA (alpha last, not premultiplied).
struct RowLayout {
    bool wide = false;   // 16 bits a sample
    int channels = 4;    // 3 or 4
    bool opaque = true;  // no alpha to weigh by (a 4th channel is ignored)
};

class AreaReducer {
public:
    // From fromWidth x fromHeight to exactly toWidth x toHeight (both at
    // most the source's, neither 0).
    AreaReducer(std::size_t fromWidth, std::size_t fromHeight, std::size_t toWidth,
                std::size_t toHeight);

    // The next source row, fromWidth pixels in `layout`.
    void push(const std::uint8_t* row, const RowLayout& layout);
    // Whether every source row has been given.
    bool done() const { return row_ == rows_.size(); }
    // The reduced image (16 bits a sample, RGBA when `alpha`), with
    // `magick` as its format; nullptr when not done() or out of memory.
    ImagePtr finish(bool alpha, const char* magick) const;

    // The memory it holds, in bytes.
    static std::uint64_t workingBytes(std::size_t fromWidth, std::size_t toWidth,
                                      std::size_t toHeight);

    // Where a source pixel's span falls in the reduced image: at most two
    // target pixels, with the part of the span in each.
    struct Span {
        std::size_t first = 0;
        double firstPart = 1.0;  // the rest goes to first + 1
    };

private:
    template <bool Wide, bool Opaque, int Channels>
    void reduceAcross(const std::uint8_t* row);
    void addLine();

    std::size_t fromWidth_, width_, height_;
    std::vector<Span> columns_, rows_;
    std::vector<float> sums_;                // width * height * 5 sums
    std::vector<float> line_;                // the current source row, reduced across
    std::vector<std::size_t> columnStarts_;  // per target pixel, its first source column
    std::vector<std::size_t> columnEnds_;    // and the one after its last
    std::vector<float> columnParts_;         // the parts of those columns, in order
    std::size_t row_ = 0;
};

}  // namespace lumigal
