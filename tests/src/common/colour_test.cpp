#include "common/colour.h"

#include <gtest/gtest.h>

namespace lumigal {
namespace {

TEST(Colour, HtmlColourWritesRedGreenBlueInUpperCase) {
    EXPECT_EQ(htmlColour(makeColour(0x12, 0xAB, 0x0F)), "#12AB0F");
    EXPECT_EQ(htmlColour(makeColour(0, 0, 0)), "#000000");
    EXPECT_EQ(htmlColour(makeColour(0xFF, 0xFF, 0xFF)), "#FFFFFF");
    // Windows layout: red in the lowest byte.
    EXPECT_EQ(htmlColour(0x00C08040), "#4080C0");
}

TEST(Colour, HtmlColourIgnoresTheHighByte) { EXPECT_EQ(htmlColour(0xFF0000FF), "#FF0000"); }

TEST(Colour, ParseAcceptsBothCasesWithOrWithoutHash) {
    const struct {
        const char* text;
        Colour expected;
    } cases[] = {
        {"#abcdef", makeColour(0xAB, 0xCD, 0xEF)}, {"#ABCDEF", makeColour(0xAB, 0xCD, 0xEF)},
        {"AbCdEf", makeColour(0xAB, 0xCD, 0xEF)},  {"#000000", makeColour(0, 0, 0)},
        {"#FF0080", makeColour(0xFF, 0x00, 0x80)},
    };
    for (const auto& c : cases) {
        const auto parsed = parseHtmlColour(c.text);
        ASSERT_TRUE(parsed.has_value()) << c.text;
        EXPECT_EQ(*parsed, c.expected) << c.text;
    }
}

TEST(Colour, ParseRejectsMalformedText) {
    for (const char* text : {"", "#", "#12345", "#1234567", "#12345G", "12 345", "#-12345",
                             " #123456", "#123456 ", "##123456", "0x1234", "+12345"}) {
        EXPECT_FALSE(parseHtmlColour(text).has_value()) << '"' << text << '"';
    }
}

TEST(Colour, RoundTripsEveryChannelValue) {
    for (int v = 0; v < 256; ++v) {
        const auto byte = static_cast<std::uint8_t>(v);
        const Colour c = makeColour(byte, static_cast<std::uint8_t>(255 - v), byte);
        EXPECT_EQ(parseHtmlColour(htmlColour(c)), c);
    }
}

}  // namespace
}  // namespace lumigal
