// Colour values in the Windows layout: red in bits 0-7, green in 8-15,
// blue in 16-23, bits 24-31 zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumigal {

using Colour = std::uint32_t;

constexpr Colour makeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Colour{red} | (Colour{green} << 8) | (Colour{blue} << 16);
}
constexpr std::uint8_t redOf(Colour c) { return c & 0xFF; }
constexpr std::uint8_t greenOf(Colour c) { return (c >> 8) & 0xFF; }
constexpr std::uint8_t blueOf(Colour c) { return (c >> 16) & 0xFF; }

// "#RRGGBB" with upper-case hexadecimal digits.
std::string htmlColour(Colour c);

// Reads "#RRGGBB" (or "RRGGBB"), either case; nullopt when malformed.
std::optional<Colour> parseHtmlColour(std::string_view text);

}  // namespace lumigal
