// The rows of a PNG's image data (not interlaced, 8 bits a sample), inflated
// and unfiltered as they come, from the file's bytes in memory: only a few
// hundred kilobytes of it are held at a time. Strict: anything a careful
// reader would merely warn about (a bad checksum, data left over, a chunk
// out of place) ends the rows, so that the caller can read the file the
// usual way and say what that way says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct inflate_state;

namespace lumigal {

class PngIdatRows {
public:
    // `data` the whole file; `firstChunk` where the first IDAT chunk starts
    // (its length field); `height` rows of `rowBytes` bytes, `bpp` bytes a
    // pixel.
    PngIdatRows(const std::uint8_t* data, std::size_t size, std::size_t firstChunk,
                std::size_t rowBytes, std::size_t height, std::size_t bpp);
    ~PngIdatRows();
    PngIdatRows(const PngIdatRows&) = delete;
    PngIdatRows& operator=(const PngIdatRows&) = delete;

    // The next row, unfiltered (valid until the next call); nullptr when the
    // data is damaged or ends early, and after the last row.
    const std::uint8_t* next();
    // Whether every row was given and the compressed stream ended right
    // after them with its checksum right.
    bool complete() const { return complete_; }

    // The memory it holds, in bytes, for rows of `rowBytes`.
    static std::uint64_t workingBytes(std::size_t rowBytes);

private:
    bool nextChunk();
    bool fill(std::size_t want);
    bool streamEnds();

    const std::uint8_t* data_;
    std::size_t size_, chunk_;
    std::size_t rowBytes_, stride_, height_, bpp_;
    std::unique_ptr<inflate_state> state_;
    std::vector<std::uint8_t> buffer_, prior_;
    std::size_t filled_ = 0, at_ = 0, row_ = 0;
    const std::uint8_t* previous_ = nullptr;
    bool started_ = false, failed_ = false, complete_ = false;
};

}  // namespace lumigal
