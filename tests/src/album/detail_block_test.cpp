#include "album/detail_block.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_support/test_images.h"

namespace lumigal {
namespace {

// The four templates as printf formats, written out whole so that the
// block's assembly from pieces is checked against one continuous text.
#define LINE(label, tabs) "<font size=\"1\" face=\"Verdana\" color=\"#%02X%02X%02X\">" label tabs "\r\n"
#define NINE(t)                                          \
    LINE("Taille du fichier  ", t)                       \
    LINE(" %ld octets.<br> ", t)                         \
    LINE("Taille de l'image ", t)                        \
    LINE(" %d x %d<br> ", t)                             \
    LINE("Couleurs ", t)                                 \
    LINE(" %s<br> ", t)                                  \
    LINE("Mode ", t)                                     \
    LINE(" %s<br> ", t)                                  \
    LINE("Chemin  ", t)

const char* const kTemplates[4] = {
    "%s \t\t<table>\r\n \t\t<tr>\r\n \t\t<td valign = \"top\"> \t\t<font color=\"#000000\" size=\"2\" "
    "face=\"Verdana\"><b>%s%s</b><br> \t\t\r\n" NINE("\t\t")
    "<font size=\"1\" face=\"Verdana\" color=\"#%02X%02X%02X\"> %s</td></tr> \t\t\r\n<tr><td><img "
    "src=\"file:///%s\"></td> \t\t\r\n</tr></table>\r\n",

    "%s \t\t\t<table>\r\n \t\t\t<tr>\r\n \t\t\t<td valign = \"top\"><img src=\"file:///%s\"></td></tr> "
    "\t\t\t<tr><td valign = \"top\"> \t\t\t<font color=\"#000000\" size=\"2\" "
    "face=\"Verdana\"><b>%s%s</b><br> \t\t\t\r\n" NINE("\t\t\t")
    "<font size=\"1\" face=\"Verdana\" color=\"#%02X%02X%02X\"> %s</td> \t\t\t\r\n</tr></table>",

    "%s \t\t<table>\r\n \t\t<tr>\r\n \t\t<td valign = \"top\"> \t\t<font color=\"#000000\" size=\"2\" "
    "face=\"Verdana\"><b>%s%s</b><br> \t\t\r\n" NINE("\t\t")
    "<font size=\"1\" face=\"Verdana\" color=\"#%02X%02X%02X\"> %s</td> \t\t\r\n<td><img "
    "src=\"file:///%s\"></td> \t\t\r\n</tr></table>\r\n",

    "%s \t\t\t<table><tr>\r\n \t\t\t<td valign = \"top\"><img src=\"file:///%s\"></td> \t\t\t<td "
    "valign = \"top\"> \t\t\t<font color=\"#000000\" size=\"2\" face=\"Verdana\"><b>%s%s</b><br> "
    "\t\t\t\r\n" NINE("\t\t\t")
    "<font size=\"1\" face=\"Verdana\" color=\"#%02X%02X%02X\"> %s</td> \t\t\t\r\n</tr></table>",
};

std::string expectedBlock(int position, const char* prefix, const char* url, const char* name,
                          const char* ext, long size, int w, int h, const char* colours,
                          const char* mode, const char* folder, int r, int g, int b) {
    char buffer[8192];
    if (position == 1 || position == 3) {
        std::snprintf(buffer, sizeof buffer, kTemplates[position - 1], prefix, name, ext, r, g, b, r,
                      g, b, size, r, g, b, r, g, b, w, h, r, g, b, r, g, b, colours, r, g, b, r, g, b,
                      mode, r, g, b, r, g, b, folder, url);
    } else {
        std::snprintf(buffer, sizeof buffer, kTemplates[position - 1], prefix, url, name, ext, r, g,
                      b, r, g, b, size, r, g, b, r, g, b, w, h, r, g, b, r, g, b, colours, r, g, b, r,
                      g, b, mode, r, g, b, r, g, b, folder);
    }
    return buffer;
}

TEST(DetailBlock, EveryPositionMatchesItsTemplate) {
    ImageDetails d;
    d.baseName = "photo";
    d.extension = ".jpg";
    d.folder = "/home/ana/My Pics/";
    d.width = 640;
    d.height = 480;
    d.fileSize = 123456;
    d.coloursText = "16 millions";
    d.modeText = "non entrelac&eacute;";
    const std::string path = "/home/ana/My Pics/photo.jpg";
    const Colour info = makeColour(0x12, 0xAB, 0xFF);
    for (int position = 1; position <= 4; ++position) {
        for (bool center : {false, true}) {
            SCOPED_TRACE("position " + std::to_string(position) + (center ? " centred" : ""));
            const std::string expected = expectedBlock(
                position, center ? "<center>" : "", "home/ana/My%20Pics/photo.jpg", "photo", ".jpg",
                123456, 640, 480, "16 millions", "non entrelac&eacute;", "/home/ana/My Pics/", 0x12,
                0xAB, 0xFF);
            EXPECT_EQ(FormatDetailBlock(path, d, position, center, info), expected);
        }
    }
}

TEST(DetailBlock, EscapesNamesAndFolders) {
    ImageDetails d;
    d.baseName = "<b>\"x\"";
    d.extension = ".p&g";
    d.folder = "/a<b>/";
    d.coloursText = "2";
    d.modeText = "entrelac&eacute;";
    const std::string block = FormatDetailBlock("/a<b>/<b>\"x\".p&g", d, 2, false, 0);
    EXPECT_NE(block.find("<b>&lt;b&gt;&quot;x&quot;.p&amp;g</b>"), std::string::npos);
    EXPECT_NE(block.find("> /a&lt;b&gt;/</td>"), std::string::npos);
    EXPECT_NE(block.find("src=\"file:///a%3Cb%3E/%3Cb%3E%22x%22.p&amp;g\""), std::string::npos);
    EXPECT_EQ(block.find("<b>\""), std::string::npos);
}

TEST(DetailBlock, ReadsHeaderValues) {
    const std::string dir = test::makeTempFolder("detail-read");
    struct Case {
        std::string name;
        unsigned w, h;
        bool interlace;
        unsigned colours;
        std::string coloursText, modeText;
    } cases[] = {
        {"true.jpg", 64, 48, false, 0, "16 millions", "non entrelac&eacute;"},
        {"progressive.jpg", 40, 30, true, 0, "16 millions", "entrelac&eacute;"},
        {"palette.gif", 33, 21, false, 8, "", "non entrelac&eacute;"},
        {"noext", 5, 7, false, 0, "", "non entrelac&eacute;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir + "/" + c.name;
        const std::string written = c.name == "noext" ? "PNG:" + path : path;
        ASSERT_TRUE(test::writeTestImage(written, c.w, c.h, c.interlace, c.colours));
        ImageDetails d;
        std::string error;
        ASSERT_EQ(ReadImageDetails(path, d, error), 0) << error;
        EXPECT_EQ(d.width, c.w);
        EXPECT_EQ(d.height, c.h);
        EXPECT_EQ(d.folder, dir + "/");
        EXPECT_EQ(d.baseName + d.extension, c.name);
        if (!c.coloursText.empty()) {
            EXPECT_EQ(d.coloursText, c.coloursText);
        }
        if (c.colours) {
            EXPECT_NE(d.coloursText, "16 millions");
        }
        EXPECT_EQ(d.modeText, c.modeText);
        EXPECT_GT(d.fileSize, 0);
    }
}

TEST(DetailBlock, UnreadableImageLeavesDetailsUnchanged) {
    const std::string dir = test::makeTempFolder("detail-bad");
    ASSERT_TRUE(test::writeBytes(dir + "/bad.jpg", "not an image at all"));
    ImageDetails d;
    d.baseName = "kept";
    std::string error;
    EXPECT_EQ(ReadImageDetails(dir + "/bad.jpg", d, error), 1);
    EXPECT_EQ(d.baseName, "kept");
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadImageDetails(dir + "/missing.png", d, error), 1);
}

}  // namespace
}  // namespace lumigal
