#include "png_idat_rows.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "png_unfilter.h"

namespace lumigal {

namespace {

// About this much inflated data is held at a time (at least two rows).
constexpr std::size_t kBufferBytes = std::size_t{256} << 10;

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The inflater's AVX code may return with the upper halves of the vector
// registers in use, which slows every SSE instruction that follows (ours
// and the image library's) until they are cleared.
__attribute__((target("avx"))) void clearUpperHalves() { _mm256_zeroupper(); }

int inflateSome(inflate_state* state) {
    static const bool avx = __builtin_cpu_supports("avx");
    const int status = isal_inflate(state);
    if (avx) clearUpperHalves();
    return status;
}

std::uint32_t checksum(const std::uint8_t* data, std::uint64_t size) {
    static const bool avx = __builtin_cpu_supports("avx");
    const std::uint32_t crc = crc32_gzip_refl(0, data, size);
    if (avx) clearUpperHalves();
    return crc;
}

std::size_t bufferBytes(std::size_t stride) { return std::max(kBufferBytes / stride, std::size_t{2}) * stride; }

}  // namespace

PngIdatRows::PngIdatRows(const std::uint8_t* data, std::size_t size, std::size_t firstChunk,
                         std::size_t rowBytes, std::size_t height, std::size_t bpp)
    : data_(data),
      size_(size),
      chunk_(firstChunk),
      rowBytes_(rowBytes),
      stride_(rowBytes + 1),
      height_(height),
      bpp_(bpp),
      state_(new inflate_state),
      buffer_(bufferBytes(stride_)),
      prior_(rowBytes, 0) {
    isal_inflate_init(state_.get());
    state_->crc_flag = ISAL_ZLIB;
    state_->next_in = nullptr;
    state_->avail_in = 0;
    previous_ = prior_.data();
    if (rowBytes_ == 0 || height_ == 0 || bpp_ == 0 || rowBytes_ % bpp_ != 0) failed_ = true;
}

PngIdatRows::~PngIdatRows() = default;

std::uint64_t PngIdatRows::workingBytes(std::size_t rowBytes) {
    return bufferBytes(rowBytes + 1) + std::uint64_t{rowBytes} + sizeof(inflate_state);
}

// The next IDAT chunk with data, its checksum checked, as the input.
bool PngIdatRows::nextChunk() {
    for (;;) {
        if (chunk_ > size_ || size_ - chunk_ < 12) return false;
        const std::uint8_t* head = data_ + chunk_;
        const std::uint32_t length = bigEndian32(head);
        if (length > 0x7fffffffu || std::memcmp(head + 4, "IDAT", 4) != 0 ||
            size_ - chunk_ - 12 < length) {
            return false;
        }
        if (checksum(head + 4, std::uint64_t{length} + 4) != bigEndian32(head + 8 + length)) {
            return false;
        }
        chunk_ += 12 + std::size_t{length};
        if (length == 0) continue;
        // A stream that claims a window under 32 KB is left to the library,
        // which holds it to that window.
        if (!started_ && (head[8] & 0xf0) != 0x70) return false;
        started_ = true;
        // The library only reads its input.
        state_->next_in = const_cast<std::uint8_t*>(head + 8);
        state_->avail_in = length;
        return true;
    }
}

// Inflates until the buffer holds `want` bytes.
bool PngIdatRows::fill(std::size_t want) {
    state_->next_out = buffer_.data() + filled_;
    state_->avail_out = static_cast<std::uint32_t>(want - filled_);
    while (state_->avail_out > 0) {
        if (state_->block_state == ISAL_BLOCK_FINISH) return false;  // the stream ended early
        if (state_->avail_in == 0 && !nextChunk()) return false;
        const std::uint32_t in = state_->avail_in, out = state_->avail_out;
        const int status = inflateSome(state_.get());
        if (status != ISAL_DECOMP_OK && status != ISAL_END_INPUT) return false;
        if (state_->avail_in == in && state_->avail_out == out &&
            state_->block_state != ISAL_BLOCK_FINISH) {
            return false;
        }
    }
    filled_ = want;
    return true;
}

// After the last row: the stream ends (its checksum checked) with no more
// data in it.
bool PngIdatRows::streamEnds() {
    std::uint8_t extra[16];
    while (state_->block_state != ISAL_BLOCK_FINISH) {
        state_->next_out = extra;
        state_->avail_out = sizeof extra;
        if (state_->avail_in == 0 && !nextChunk()) return false;
        const std::uint32_t in = state_->avail_in;
        const int status = inflateSome(state_.get());
        if (status != ISAL_DECOMP_OK && status != ISAL_END_INPUT) return false;
        if (state_->avail_out != sizeof extra) return false;
        if (state_->avail_in == in && state_->block_state != ISAL_BLOCK_FINISH) return false;
    }
    return true;
}

const std::uint8_t* PngIdatRows::next() {
    if (failed_ || row_ == height_) return nullptr;
    if (filled_ - at_ < stride_) {
        // Room for more: the previous row is kept aside, the start of the
        // next one moves to the front.
        if (previous_ != prior_.data()) {
            std::memcpy(prior_.data(), previous_, rowBytes_);
            previous_ = prior_.data();
        }
        std::memmove(buffer_.data(), buffer_.data() + at_, filled_ - at_);
        filled_ -= at_;
        at_ = 0;
        const std::uint64_t rest = std::uint64_t{height_ - row_} * stride_;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), rest));
        if (!fill(want)) {
            failed_ = true;
            return nullptr;
        }
    }
    std::uint8_t* row = buffer_.data() + at_;
    if (!unfilterPngRow(row[0], row + 1, previous_, rowBytes_, bpp_)) {
        failed_ = true;
        return nullptr;
    }
    previous_ = row + 1;
    at_ += stride_;
    if (++row_ == height_) {
        complete_ = streamEnds();
        if (!complete_) {
            failed_ = true;
            return nullptr;
        }
    }
    return row + 1;
}

}  // namespace lumigal
