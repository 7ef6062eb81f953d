#include "jpeg_entropy.h"

#include <cstring>

namespace lumigal::jpeg {

std::size_t nextMarker(const std::uint8_t* data, std::size_t size, std::size_t at, bool restarts) {
    while (at < size) {
        const void* found = std::memchr(data + at, 0xFF, size - at);
        if (!found) return size;
        std::size_t ff = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
        std::size_t next = ff + 1;
        while (next < size && data[next] == 0xFF) ++next;
        if (next >= size) return size;
        const std::uint8_t code = data[next];
        if (code != 0x00 && (restarts || !isRestart(code))) return next - 1;
        at = next + 1;
    }
    return size;
}

bool readHuffmanTables(const std::uint8_t* p, std::size_t n,
                       std::array<HuffmanTable, 4>& dcTables) {
    while (n > 0) {
        if (n < 17) return false;
        const int tableClass = p[0] >> 4, slot = p[0] & 0x0F;
        if (tableClass > 1 || slot > 3) return false;
        std::size_t total = 0;
        for (int i = 1; i <= 16; ++i) total += p[i];
        if (total > 256 || n < 17 + total) return false;
        if (tableClass == 0) {
            HuffmanTable table;
            std::int32_t code = 0;
            std::int32_t index = 0;
            for (int length = 1; length <= 16; ++length) {
                const int count = p[length];
                if (count == 0) {
                    table.maxCode[length] = -1;
                } else {
                    table.offset[length] = index - code;
                    code += count;
                    index += count;
                    // The all-ones code of a length is never a code.
                    if (code >= (std::int32_t{1} << length)) return false;
                    table.maxCode[length] = code - 1;
                }
                code <<= 1;
            }
            std::memcpy(table.values.data(), p + 17, total);
            for (std::size_t i = 0; i < total; ++i) {
                if (table.values[i] > 15) table.dcValues = false;
            }
            table.defined = true;
            dcTables[static_cast<std::size_t>(slot)] = table;
        }
        p += 17 + total;
        n -= 17 + total;
    }
    return true;
}

}  // namespace lumigal::jpeg
