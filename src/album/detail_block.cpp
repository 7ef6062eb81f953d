#include "album/detail_block.h"

#include <string_view>

#include "album/html.h"
#include "imaging/image_io.h"
#include "common/paths.h"

namespace lumigal {

int ReadImageDetails(const std::string& path, ImageDetails& details, std::string& error) {
    const std::optional<ImageHeader> header = pingImageFile(path, error);
    if (!header) return 1;
    const PathParts parts = splitPath(path);
    details.modeText = header->interlaced ? "entrelac&eacute;" : "non entrelac&eacute;";
    details.folder = parts.folder;
    details.baseName = parts.baseName;
    details.extension = parts.extension;
    details.coloursText = header->colors == 0 ? "16 millions" : std::to_string(header->colors);
    details.width = header->width;
    details.height = header->height;
    details.fileSize = header->fileSize;
    return 0;
}

namespace {

// Templates 1 and 3 put the text above or left of the image and indent with
// two tabs; templates 2 and 4 put it below or right and indent with three.
struct Template {
    bool imageFirst;        // the image tag is in the head (2, 4) or in the tail (1, 3)
    std::string_view tabs;  // before each line break
};

std::string fontLine(const std::string& colour, std::string_view text, std::string_view tabs) {
    std::string line = "<font size=\"1\" face=\"Verdana\" color=\"";
    line += colour;
    line += "\">";
    line += text;
    line += tabs;
    line += "\r\n";
    return line;
}

std::string head(int position, const std::string& prefix, const std::string& name,
                 const std::string& url) {
    std::string text = prefix;
    const std::string bold = "<font color=\"#000000\" size=\"2\" face=\"Verdana\"><b>" + name + "</b><br> ";
    switch (position) {
        case 2:
            text += " \t\t\t<table>\r\n \t\t\t<tr>\r\n \t\t\t<td valign = \"top\"><img src=\"" + url +
                    "\"></td></tr> \t\t\t<tr><td valign = \"top\"> \t\t\t" + bold + "\t\t\t\r\n";
            break;
        case 4:
            text += " \t\t\t<table><tr>\r\n \t\t\t<td valign = \"top\"><img src=\"" + url +
                    "\"></td> \t\t\t<td valign = \"top\"> \t\t\t" + bold + "\t\t\t\r\n";
            break;
        default:  // 1 and 3
            text += " \t\t<table>\r\n \t\t<tr>\r\n \t\t<td valign = \"top\"> \t\t" + bold + "\t\t\r\n";
            break;
    }
    return text;
}

std::string tail(int position, const std::string& colour, const std::string& folder,
                 const std::string& url) {
    const std::string open = "<font size=\"1\" face=\"Verdana\" color=\"" + colour + "\"> " + folder;
    switch (position) {
        case 2:
        case 4:
            return open + "</td> \t\t\t\r\n</tr></table>";
        case 3:
            return open + "</td> \t\t\r\n<td><img src=\"" + url +
                   "\"></td> \t\t\r\n</tr></table>\r\n";
        default:  // 1
            return open + "</td></tr> \t\t\r\n<tr><td><img src=\"" + url +
                   "\"></td> \t\t\r\n</tr></table>\r\n";
    }
}

}  // namespace

std::string FormatDetailBlock(const std::string& path, const ImageDetails& details, int position,
                              bool center, Colour infoColour) {
    return FormatDetailBlockWithSource("file:///" + fileUrlTail(path), details, position, center,
                                       infoColour);
}

std::string FormatDetailBlockWithSource(const std::string& url, const ImageDetails& details,
                                        int position, bool center, Colour infoColour) {
    if (position < 1 || position > 4) position = 1;
    const std::string_view tabs = (position == 2 || position == 4) ? "\t\t\t" : "\t\t";
    const std::string colour = htmlColour(infoColour);

    std::string block = head(position, center ? "<center>" : "",
                             htmlEscape(details.baseName) + htmlEscape(details.extension), url);
    block.reserve(block.size() + 1200 + url.size() * 2);
    block += fontLine(colour, "Taille du fichier  ", tabs);
    block += fontLine(colour, " " + std::to_string(details.fileSize) + " octets.<br> ", tabs);
    block += fontLine(colour, "Taille de l'image ", tabs);
    block += fontLine(colour,
                      " " + std::to_string(details.width) + " x " + std::to_string(details.height) +
                          "<br> ",
                      tabs);
    block += fontLine(colour, "Couleurs ", tabs);
    block += fontLine(colour, " " + details.coloursText + "<br> ", tabs);
    block += fontLine(colour, "Mode ", tabs);
    block += fontLine(colour, " " + details.modeText + "<br> ", tabs);
    block += fontLine(colour, "Chemin  ", tabs);
    block += tail(position, colour, htmlEscape(details.folder), url);
    return block;
}

}  // namespace lumigal
