// Resizes an image that arrives row by row, holding only the few source
// rows that the next target row needs: a decoder can hand its rows over as
// it makes them, and the full-size image is never in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixels.h"

namespace lumigal {

// A triangle (linear) filter whose support widens with the reduction, so
// that each target pixel averages the source area it covers, as
// ImageMagick's Triangle filter does. Colours are weighted by their alpha
// when the last channel is one (2 or 4 channels).
class RowResizer {
public:
    RowResizer(std::size_t fromWidth, std::size_t fromHeight, std::size_t toWidth,
               std::size_t toHeight, int channels);

    // The next source row: fromWidth pixels of `channels` samples.
    void push(const std::uint8_t* row);
    // Whether every source row has been pushed.
    bool done() const { return nextSource_ == fromHeight_; }
    // The resized image (complete once done()).
    Pixels take() { return std::move(target_); }

    // The memory it holds besides the target image, in bytes.
    static std::uint64_t workingBytes(std::size_t fromWidth, std::size_t fromHeight,
                                      std::size_t toWidth, std::size_t toHeight, int channels);

    // The taps of one target pixel along one direction: `count` weights
    // (summing to 1) of the source pixels from `first` on.
    struct Taps {
        std::size_t first = 0;
        std::size_t count = 0;
    };
    struct Filter {
        std::vector<Taps> taps;
        std::vector<float> weights;  // taps.size() * width, zero padded
        std::size_t width = 0;       // the largest count
    };
    static Filter filter(std::size_t from, std::size_t to);

private:
    void emitRow(std::size_t y);

    std::size_t fromHeight_;
    int channels_;
    bool alpha_;
    Filter across_, down_;
    std::vector<float> ring_;  // down_.width source rows, resized across
    std::vector<float> sums_;  // the target row being made
    std::size_t nextSource_ = 0, nextTarget_ = 0;
    Pixels target_;
};

}  // namespace lumigal
