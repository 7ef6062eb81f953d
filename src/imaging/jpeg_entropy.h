// The entropy-coded side of a JPEG, for the DC-only reader: markers,
// Huffman tables and the bits between markers, read the way the JPEG
// library reads them. Private to the imaging library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumigal::jpeg {

struct HuffmanTable {
    bool defined = false;
    bool dcValues = true;  // every value is a DC magnitude (0 to 15)
    std::array<std::int32_t, 17> maxCode{};  // by code length, -1 when none
    std::array<std::int32_t, 17> offset{};   // value index minus code, by length
    std::array<std::uint8_t, 256> values{};
};

inline std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

inline bool isRestart(std::uint8_t marker) { return marker >= 0xD0 && marker <= 0xD7; }

// The position of the 0xFF that starts the next marker at or after `at`
// (fill bytes and stuffed zeros skipped); `size` when there is none.
// Restart markers count only when `restarts` says so.
std::size_t nextMarker(const std::uint8_t* data, std::size_t size, std::size_t at, bool restarts);

// Entropy-coded bits, as the JPEG library reads them: a stuffed zero after
// 0xFF is dropped, and a marker ends the data (bits asked for past it read
// as zeros and set `outOfData`).
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size, std::size_t at)
        : data_(data), size_(size), at_(at) {}

    int bit() {
        if (count_ == 0 && !fill()) {
            outOfData_ = true;
            return 0;
        }
        --count_;
        return static_cast<int>((acc_ >> count_) & 1U);
    }
    std::int32_t bits(int n) {
        std::int32_t value = 0;
        for (int i = 0; i < n; ++i) value = (value << 1) | bit();
        return value;
    }
    bool outOfData() const { return outOfData_; }

    // At a restart: the bits left are dropped and the restart marker read.
    // The out-of-data state ends only when a restart marker was found.
    void restart() {
        count_ = 0;
        if (!stopped_) {
            stopAt(nextMarker(data_, size_, at_, true));
        }
        if (stopped_ && markerAt_ < size_ && isRestart(data_[markerCode()])) {
            at_ = markerCode() + 1;
            stopped_ = false;
            outOfData_ = false;
        }
    }

    // Where the data after this scan's entropy-coded segment start.
    std::size_t end() const {
        return nextMarker(data_, size_, stopped_ ? markerAt_ : at_, false);
    }

private:
    bool fill() {
        if (stopped_) return false;
        if (at_ >= size_) {
            stopAt(size_);
            return false;
        }
        std::uint8_t byte = data_[at_];
        if (byte == 0xFF) {
            std::size_t next = at_ + 1;
            while (next < size_ && data_[next] == 0xFF) ++next;
            if (next >= size_ || data_[next] != 0x00) {
                stopAt(at_);
                return false;
            }
            at_ = next + 1;
        } else {
            ++at_;
        }
        acc_ = (acc_ << 8) | byte;
        count_ = 8;
        return true;
    }
    void stopAt(std::size_t at) {
        stopped_ = true;
        markerAt_ = at;
    }
    // The marker code's position (after any fill bytes).
    std::size_t markerCode() const {
        std::size_t next = markerAt_ + 1;
        while (next < size_ && data_[next] == 0xFF) ++next;
        return std::min(next, size_ - 1);
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_;
    std::uint32_t acc_ = 0;
    int count_ = 0;
    bool stopped_ = false;
    std::size_t markerAt_ = 0;
    bool outOfData_ = false;
};

// The value of the next Huffman code; 0 for a code no table entry has (as
// the JPEG library does, with a warning).
inline int decodeSymbol(BitReader& in, const HuffmanTable& table) {
    std::int32_t code = in.bit();
    for (int length = 1; length <= 16; ++length) {
        if (code <= table.maxCode[length]) {
            return table.values[static_cast<std::uint8_t>(code + table.offset[length])];
        }
        code = (code << 1) | in.bit();
    }
    return 0;
}

// A magnitude category and its extra bits as a signed difference.
inline std::int32_t extend(std::int32_t bits, int category) {
    if (category == 0) return 0;
    return bits < (std::int32_t{1} << (category - 1)) ? bits - (std::int32_t{1} << category) + 1
                                                      : bits;
}

// The DC tables of a DHT segment's `n` bytes at `p` into `dcTables`; false
// for a damaged segment.
bool readHuffmanTables(const std::uint8_t* p, std::size_t n,
                       std::array<HuffmanTable, 4>& dcTables);

}  // namespace lumigal::jpeg
