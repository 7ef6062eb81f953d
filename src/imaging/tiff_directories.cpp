#include "tiff_directories.h"

#include <algorithm>
#include <set>

namespace lumigal {

namespace {

constexpr std::size_t kMaxDirectories = 64;
constexpr std::uint16_t kNewSubfileType = 254;
constexpr std::uint16_t kImageWidth = 256;
constexpr std::uint16_t kImageLength = 257;
constexpr std::uint32_t kReducedImage = 1;  // NewSubfileType bit

struct Directory {
    std::uint32_t width = 0, height = 0, subfileType = 0;
    std::uint32_t next = 0;
};

class TiffReader {
public:
    TiffReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
        little_ = size >= 2 && data[0] == 'I' && data[1] == 'I';
    }
    bool classic() const {
        return size_ >= 8 && (little_ || (data_[0] == 'M' && data_[1] == 'M')) && u16(2) == 42;
    }
    std::uint16_t u16(std::size_t at) const {
        return static_cast<std::uint16_t>(little_ ? data_[at] | data_[at + 1] << 8
                                                  : data_[at] << 8 | data_[at + 1]);
    }
    std::uint32_t u32(std::size_t at) const {
        return little_ ? std::uint32_t{u16(at)} | std::uint32_t{u16(at + 2)} << 16
                       : std::uint32_t{u16(at)} << 16 | std::uint32_t{u16(at + 2)};
    }
    // The directory at `offset`; nullopt when it lies outside the data.
    std::optional<Directory> directory(std::size_t offset) const {
        if (offset < 8 || offset > size_ - 2) return std::nullopt;
        const std::size_t entries = u16(offset);
        if (entries > (size_ - offset - 2) / 12 || size_ - offset - 2 - 12 * entries < 4) {
            return std::nullopt;
        }
        Directory d;
        for (std::size_t i = 0; i < entries; ++i) {
            const std::size_t e = offset + 2 + 12 * i;
            const std::uint16_t tag = u16(e), type = u16(e + 2);
            if (u32(e + 4) != 1 || (type != 3 && type != 4)) continue;  // one SHORT or LONG
            const std::uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
            if (tag == kImageWidth) d.width = value;
            if (tag == kImageLength) d.height = value;
            if (tag == kNewSubfileType && type == 4) d.subfileType = value;
        }
        d.next = u32(offset + 2 + 12 * entries);
        return d;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    bool little_ = false;
};

}  // namespace

std::optional<std::size_t> tiffReducedImage(const std::uint8_t* data, std::size_t size,
                                            std::size_t minWidth, std::size_t minHeight) {
    if (!data || minWidth == 0 || minHeight == 0) return std::nullopt;
    const TiffReader tiff(data, size);
    if (!tiff.classic()) return std::nullopt;
    std::set<std::uint32_t> seen;
    std::uint32_t offset = tiff.u32(4);
    std::optional<Directory> first;
    std::optional<std::size_t> best;
    std::uint64_t bestArea = 0;
    for (std::size_t index = 0; index < kMaxDirectories && offset != 0; ++index) {
        if (!seen.insert(offset).second) break;  // a loop
        const std::optional<Directory> d = tiff.directory(offset);
        if (!d) break;
        if (!first) {
            first = d;
            if (d->width == 0 || d->height == 0) return std::nullopt;
        } else if ((d->subfileType & kReducedImage) != 0 && d->width >= minWidth &&
                   d->height >= minHeight && d->width < first->width) {
            // The same shape, within the rounding of each halving.
            const std::uint64_t a = std::uint64_t{d->width} * first->height;
            const std::uint64_t b = std::uint64_t{d->height} * first->width;
            const std::uint64_t diff = a > b ? a - b : b - a;
            const std::uint64_t area = std::uint64_t{d->width} * d->height;
            if (diff <= std::uint64_t{std::max(first->width, first->height)} * 2 &&
                (!best || area < bestArea)) {
                best = index;
                bestArea = area;
            }
        }
        offset = d->next;
    }
    return best;
}

}  // namespace lumigal
