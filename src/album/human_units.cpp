#include "album/human_units.h"

namespace lumigal {

std::string humanBytes(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes < 2 ? " octet" : " octets");
    static constexpr const char* kUnits[] = {"Ko", "Mo", "Go", "To", "Po", "Eo"};
    // The size in tenths of the unit, rounded; the unit grows while the
    // value reads 1024 or more once rounded.
    std::size_t unit = 0;
    std::uint64_t scale = 1024;
    auto tenths = [&] {
        // bytes * 10 / scale, rounded, without overflow for any 64-bit size.
        const std::uint64_t whole = bytes / scale, rest = bytes % scale;
        return whole * 10 + (rest * 10 + scale / 2) / scale;
    };
    std::uint64_t t = tenths();
    while (unit + 1 < std::size(kUnits) && t >= 10240) {
        ++unit;
        scale *= 1024;
        t = tenths();
    }
    std::string number;
    if (t < 100) {
        number = std::to_string(t / 10) + "," + std::to_string(t % 10);
    } else {
        number = std::to_string((t + 5) / 10);
        // 9,96 Ko rounds to 10 Ko, 1023,6 Ko to 1024 Ko: the next unit then.
        if (number == "1024" && unit + 1 < std::size(kUnits)) {
            ++unit;
            number = "1,0";
        }
    }
    return number + " " + kUnits[unit];
}

std::string humanDimensions(std::uint64_t width, std::uint64_t height) {
    return std::to_string(width) + " \xC3\x97 " + std::to_string(height);
}

}  // namespace lumigal
