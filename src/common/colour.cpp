#include "common/colour.h"

#include <cstdio>

namespace lumigal {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint8_t> hexByte(std::string_view twoDigits) {
    const int high = hexDigit(twoDigits[0]);
    const int low = hexDigit(twoDigits[1]);
    if (high < 0 || low < 0) return std::nullopt;
    return static_cast<std::uint8_t>(high * 16 + low);
}

}  // namespace

std::string htmlColour(Colour c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", unsigned{redOf(c)}, unsigned{greenOf(c)},
                  unsigned{blueOf(c)});
    return text;
}

std::optional<Colour> parseHtmlColour(std::string_view text) {
    if (!text.empty() && text.front() == '#') text.remove_prefix(1);
    if (text.size() != 6) return std::nullopt;
    const auto red = hexByte(text.substr(0, 2));
    const auto green = hexByte(text.substr(2, 2));
    const auto blue = hexByte(text.substr(4, 2));
    if (!red || !green || !blue) return std::nullopt;
    return makeColour(*red, *green, *blue);
}

}  // namespace lumigal
