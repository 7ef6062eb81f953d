#include "album/human_units.h"

namespace lumigal {

std::string humanBytes(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes < 2 ? " octet" : " octets");
    static constexpr const char* kUnits[] = {"Ko", "Mo", "Go", "To", "Po", "Eo"};
    // bytes / scale rounded to the nearest, without overflow for any size.
    const auto rounded = [&](std::uint64_t scale, std::uint64_t times) {
        const std::uint64_t whole = bytes / scale, rest = bytes % scale;
        return whole * times + (rest * times + scale / 2) / scale;
    };
    std::uint64_t scale = 1024;
    for (std::size_t unit = 0;; ++unit, scale *= 1024) {
        const std::uint64_t tenths = rounded(scale, 10);
        if (tenths < 100) return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " " + kUnits[unit];
        // Rounded once, to the unit: 1023,6 Ko is 1,0 Mo, not 1024 Ko.
        const std::uint64_t whole = rounded(scale, 1);
        if (whole < 1024 || unit + 1 == std::size(kUnits)) return std::to_string(whole) + " " + kUnits[unit];
    }
}

std::string humanDimensions(std::uint64_t width, std::uint64_t height) {
    return std::to_string(width) + " \xC3\x97 " + std::to_string(height);
}

std::string humanDuration(double seconds) {
    // NaN and times past a year are no running time.
    if (!(seconds >= 0.5) || seconds > 366.0 * 86400) return {};
    const auto total = static_cast<std::uint64_t>(seconds + 0.5);
    const std::uint64_t h = total / 3600, m = total / 60 % 60, s = total % 60;
    const auto two = [](std::uint64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return (h ? std::to_string(h) + ":" + two(m) : std::to_string(m)) + ":" + two(s);
}

std::string videoCodecName(const std::string& codec) {
    if (codec == "h264") return "H.264";
    if (codec == "hevc") return "HEVC";
    if (codec == "mpeg4") return "MPEG-4";
    std::string name = codec;
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return name;
}

}  // namespace lumigal
