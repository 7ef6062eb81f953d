#include "album/page_writer.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "album/detail_block.h"
#include "album/html.h"
#include "album/image_io.h"
#include "album/page_file.h"
#include "album/thumbnail.h"
#include "common/paths.h"

namespace lumigal {

namespace {

std::string format(const char* fmt, auto... args) {
    const int n = std::snprintf(nullptr, 0, fmt, args...);
    std::string text(static_cast<std::size_t>(n), '\0');
    std::snprintf(text.data(), text.size() + 1, fmt, args...);
    return text;
}

// "%02d/%02d/%d %02d:%02d": day, month, year, hour, minute, in UTC.
std::string generationDate() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return format("%02d/%02d/%d %02d:%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year + 1900,
                  utc.tm_hour, utc.tm_min);
}

std::string tableTag(const PageSettings& page, bool first) {
    std::string tag = "<table border=\"" + std::to_string(page.table_border) + "\"";
    if (first) tag += " bordercolordark=\"" + htmlColour(page.table_bordercolordark) + "\"";
    tag += " bordercolor=\"" + htmlColour(page.table_bordercolor) + "\" cellspacing=\"" +
           std::to_string(page.table_cellspace) + "\" cellpadding=\"" +
           std::to_string(page.table_cellpadding) + "\">\r\n";
    return tag;
}

void writeHeader(PageFile& out, const PageSettings& page, const std::vector<const std::string*>& paths) {
    out.write("<HTML><HEAD>\r\n");
    out.write("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n");
    out.write("<TITLE>Lumigal v1.11</TITLE>\r\n");
    out.write("<META NAME=\"DESCRIPTION\" CONTENT=\"GENERATEUR Lumigal v1.11\">\r\n");
    out.write("</HEAD>\r\n");
    out.write("<body bgcolor=\"" + htmlColour(page.page_bgcolor) + "\" text=\"" +
              htmlColour(page.page_textcolor) +
              "\" link=\"#004080\" vlink=\"#004080\" alink=\"#004080\">\r\n");
    out.write("<BASEFONT FACE=\"Verdana\" SIZE=2>\r\n");
    out.write("<HR>\r\n");
    out.write("<CENTER><FONT SIZE=4><B>" + htmlEscape(page.pageTitle) + "</B></FONT></CENTER>\r\n");
    out.write("<center><table width=100%>\r\n");
    out.write("<tr><td ALIGN=LEFT><FONT SIZE=1>le " + generationDate() + "\r\n<br>");
    out.write("Fichier " + htmlEscape(page.pagePath) + "\r\n<BR><BR>");
    const int count = static_cast<int>(paths.size());
    out.write(format(count == 1 ? "%d image\r\n" : "%d images\r\n", count));
    out.write("<BR>\r\n");
    out.write("<HR><PRE><BASEFONT FACE=\"Verdana\" SIZE=2>\r\n");
    for (const std::string* path : paths) out.write("      " + htmlEscape(*path) + "\r\n");
    out.write("</PRE></FONT></TD></TR></TABLE></CENTER>\r\n");
    out.write("<HR>\r\n");
    out.write("<font color=\"" + htmlColour(page.page_infocolor) + "\">\r\n");
}

}  // namespace

void WritePlainImage(PageFile& out, const std::string& path) {
    out.write("<IMG SRC=\"file:///" + fileUrlTail(path) + "\">\r\n");
}

void WritePageFooter(PageFile& out) {
    const std::string home = kFooterHomePage;
    const std::size_t scheme = home.find("://");
    const std::string shown = scheme == std::string::npos ? home : home.substr(scheme + 3);
    out.write("<br><center><table>\r\n");
    out.write(std::string("<tr><td colspan=2><center><font face=\"Verdana\" size=1>fait par Lumigal "
                          "version 1.11<br>") +
              kFooterNotice + "</CENTER></TD></TR>\r\n");
    out.write(std::string("<tr><td ALIGN=LEFT><FONT face=\"Verdana\" size=1><a href=\"mailto:") +
              kFooterEmail + "\">" + kFooterEmail + "</A></FONT></TD>\r\n");
    out.write("<td ALIGN=RIGHT><FONT face=\"Verdana\" SIZE=1><A HREF=\"" + home + "\">" + shown +
              "</A></FONT></TD></TR>\r\n");
    out.write("</TABLE></CENTER>\r\n");
    out.write("</BODY></HTML>");
}

ThumbnailTable::ThumbnailTable(PageFile& out, const PageSettings& page) : out_(out), page_(page) {}

void ThumbnailTable::open() { out_.write(tableTag(page_, true)); }

void ThumbnailTable::WriteThumbnailCell(const std::string& link, const std::string& image) {
    out_.write("<TD><A HREF=\"file:///" + fileUrlTail(link) + "\"><IMG SRC=\"file:///" +
               fileUrlTail(image) + "\"></TD>\r\n");
    ++rowCellCount_;
    if (rowCellCount_ == page_.nbThumbByLine) {
        rowCellCount_ = 0;
        out_.write("</table>\r\n");
        out_.write(tableTag(page_, false));
    }
}

void ThumbnailTable::close() { out_.write("</table>\r\n"); }

std::string thumbnailFolder(const PageSettings& page, const Preferences& prefs) {
    if (!prefs.pathThumbnail.empty()) return absolutePath(prefs.pathThumbnail);
    if (!page.pageFolder.empty()) return absolutePath(page.pageFolder);
    return splitPath(absolutePath(page.pagePath)).folder;
}

namespace {

// One cell of the thumbnail table: the thumbnail is made first, so that a
// cell never points at a thumbnail that could not be made (it then shows the
// source itself).
void writeThumbnailImage(ThumbnailTable& table, const std::string& source, const PageSettings& page,
                         const std::string& folder, ProgressObserver& progress) {
    std::string error;
    const std::optional<ImageHeader> header = pingImageFile(source, error);
    progress.setLabel(source);
    if (!header) {
        progress.imageFailed(source, error);
        table.WriteThumbnailCell(source, source);
        return;
    }
    const ThumbnailNames names =
        thumbnailFileName(source, folder, page.keepSameFormat != 0, page.newFormat);
    const bool suitable = page.onlyIfSuitable && header->width < page.width &&
                          header->height < page.height;
    const int made = MakeThumbnail({"Lumigal", "-quality", "99", "-contrast", source, names.maker},
                                   ThumbnailSize{page.width, page.height}, &error);
    if (suitable) {
        table.WriteThumbnailCell(source, source);
    } else if (made == kThumbnailWritten) {
        table.WriteThumbnailCell(source, names.page);
    } else {
        progress.imageFailed(source, error);
        table.WriteThumbnailCell(source, source);
    }
}

}  // namespace

int GenerateAlbumPage(int count, const PageSettings& page, const Preferences& prefs,
                      const SelectedFileList& files, ProgressObserver& progress) {
    initImageLibrary();
    const std::vector<const std::string*> paths = files.inPageOrder(page.tri != 0, count);
    progress.started(static_cast<int>(paths.size()));

    PageFile out;
    if (!out.create(page.pagePath)) {
        progress.failed("Impossible de créer " + page.pagePath + "...");
        return 1;
    }
    writeHeader(out, page, paths);

    const bool thumbnails = page.thumbnail != 0;
    const bool details = !thumbnails && page.details != 0;
    const std::string separator = page.position == 2 ? "<hr>\r\n" : "<br><hr>\r\n";
    if (thumbnails) {
        ThumbnailTable table(out, page);
        table.open();
        const std::string folder = thumbnailFolder(page, prefs);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            writeThumbnailImage(table, *paths[i], page, folder, progress);
            progress.setPosition(static_cast<int>(i));
        }
        table.close();
    } else {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            const std::string& path = *paths[i];
            std::string error;
            if (details) {
                ImageDetails imageDetails;
                if (ReadImageDetails(path, imageDetails, error) != 0) {
                    progress.imageFailed(path, error);
                    continue;
                }
                out.write(FormatDetailBlock(path, imageDetails, page.position, page.center != 0,
                                            page.page_infocolor));
            } else {
                // The tag is written whatever the file holds; a file that is
                // not a readable image is still reported.
                if (!pingImageFile(path, error)) progress.imageFailed(path, error);
                WritePlainImage(out, path);
            }
            progress.setLabel(path);
            progress.setPosition(static_cast<int>(i));
            if (page.line) out.write(separator);
        }
    }
    if (!page.line) out.write("<hr>\r\n");
    WritePageFooter(out);
    if (!out.commit()) {
        progress.failed("Impossible de créer " + page.pagePath + "...");
        return 1;
    }
    return 0;
}

}  // namespace lumigal
