#include "album/page_writer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "album/album_folder.h"
#include "album_publisher.h"
#include "album/captions.h"
#include "album/detail_block.h"
#include "album/html.h"
#include "album/memory_gate.h"
#include "album/modern_page.h"
#include "album/ordered_pool.h"
#include "album/page_file.h"
#include "album/photo_order.h"
#include "album/portable_copies.h"
#include "album/published_source.h"
#include "thumbnail_job.h"
#include "album/thumbnail_names.h"
#include "album/thumbnail_record.h"
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

// What the observer is told when the page cannot be written, and why.
std::string pageFailure(const std::string& pagePath, const PageFile& out) {
    if (out.reason().empty()) return "Impossible de créer " + pagePath + "...";
    return "Impossible de créer " + pagePath + " : " + out.reason();
}

std::string tableTag(const PageSettings& page, bool first) {
    std::string tag = "<table border=\"" + std::to_string(page.table_border) + "\"";
    if (first) tag += " bordercolordark=\"" + htmlColour(page.table_bordercolordark) + "\"";
    tag += " bordercolor=\"" + htmlColour(page.table_bordercolor) + "\" cellspacing=\"" +
           std::to_string(page.table_cellspace) + "\" cellpadding=\"" +
           std::to_string(page.table_cellpadding) + "\">\r\n";
    return tag;
}

// The page's own folder, absolute.
std::string pageFolderOf(const PageSettings& page) {
    if (!page.pageFolder.empty()) return absolutePath(page.pageFolder);
    return splitPath(absolutePath(page.pagePath)).folder;
}

// `shown` holds the paths the header lists (those of a portable album's
// copies, relative to its folder).
void writeHeader(PageFile& out, const PageSettings& page, const std::vector<std::string>& shown,
                 const PageLinks& links) {
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
    out.write("Fichier " + htmlEscape(links.shown(page.pagePath)) + "\r\n<BR><BR>");
    const int count = static_cast<int>(shown.size());
    out.write(format(count == 1 ? "%d image\r\n" : "%d images\r\n", count));
    out.write("<BR>\r\n");
    out.write("<HR><PRE><BASEFONT FACE=\"Verdana\" SIZE=2>\r\n");
    for (const std::string& path : shown) out.write("      " + htmlEscape(path) + "\r\n");
    out.write("</PRE></FONT></TD></TR></TABLE></CENTER>\r\n");
    out.write("<HR>\r\n");
    out.write("<font color=\"" + htmlColour(page.page_infocolor) + "\">\r\n");
}

}  // namespace

void WritePlainImage(std::string& out, const std::string& path, const PageLinks& links) {
    out += "<IMG SRC=\"" + links.url(path) + "\">\r\n";
}

void WritePageFooter(std::string& out) {
    const std::string home = kFooterHomePage;
    const std::size_t scheme = home.find("://");
    const std::string shown = scheme == std::string::npos ? home : home.substr(scheme + 3);
    out += "<br><center><table>\r\n";
    out += "<tr><td colspan=2><center><font face=\"Verdana\" size=1>fait par Lumigal version 1.11<br>";
    out += kFooterNotice;
    out += "</CENTER></TD></TR>\r\n";
    out += "<tr><td ALIGN=LEFT><FONT face=\"Verdana\" size=1><a href=\"mailto:";
    out += kFooterEmail;
    out += "\">";
    out += kFooterEmail;
    out += "</A></FONT></TD>\r\n";
    out += "<td ALIGN=RIGHT><FONT face=\"Verdana\" SIZE=1><A HREF=\"" + home + "\">" + shown +
           "</A></FONT></TD></TR>\r\n";
    out += "</TABLE></CENTER>\r\n";
    out += "</BODY></HTML>";
}

ThumbnailTable::ThumbnailTable(std::string& out, const PageSettings& page, const PageLinks& links)
    : out_(out), page_(page), links_(links) {}

void ThumbnailTable::open() { out_ += tableTag(page_, true); }

void ThumbnailTable::WriteThumbnailCell(const std::string& link, const std::string& image) {
    out_ += "<TD><A HREF=\"" + links_.url(link) + "\"><IMG SRC=\"" + links_.url(image) +
            "\"></TD>\r\n";
    ++rowCellCount_;
    if (rowCellCount_ == page_.nbThumbByLine) {
        rowCellCount_ = 0;
        out_ += "</table>\r\n";
        out_ += tableTag(page_, false);
    }
}

void ThumbnailTable::close() { out_ += "</table>\r\n"; }

FittedSize thumbnailSizeFor(std::size_t width, std::size_t height, unsigned boxWidth,
                            unsigned boxHeight, bool keepProportions) {
    if (!keepProportions || width == 0 || height == 0 || boxWidth == 0 || boxHeight == 0) {
        return {boxWidth, boxHeight};
    }
    // The side that limits takes the box's size; the other is rounded.
    if (std::uint64_t{width} * boxHeight >= std::uint64_t{height} * boxWidth) {
        const auto h = static_cast<unsigned>((std::uint64_t{height} * boxWidth * 2 + width) / (2 * width));
        return {boxWidth, std::max(1u, h)};
    }
    const auto w = static_cast<unsigned>((std::uint64_t{width} * boxHeight * 2 + height) / (2 * height));
    return {std::max(1u, w), boxHeight};
}

std::string thumbnailFolder(const PageSettings& page, const Preferences& prefs) {
    if (page.portable) {
        const std::string album = pageFolderOf(page);
        if (!prefs.pathThumbnail.empty()) {
            namespace fs = std::filesystem;
            const fs::path chosen = fs::path(absolutePath(prefs.pathThumbnail)).lexically_normal();
            const fs::path inside = chosen.lexically_relative(fs::path(album).lexically_normal());
            if (!inside.empty() && *inside.begin() != "..") return chosen.string();
        }
        return joinPath(album, kPortableThumbnailFolderName);
    }
    if (!prefs.pathThumbnail.empty()) return absolutePath(prefs.pathThumbnail);
    if (!page.pageFolder.empty()) return absolutePath(page.pageFolder);
    return splitPath(absolutePath(page.pagePath)).folder;
}

namespace {

// The body of the classic page (everything after its header).
std::string classicBody(const std::vector<const std::string*>& paths,
                        std::vector<const std::string*>& placed, const PageSettings& page,
                        const Preferences& prefs, int workers, const PageLinks& links,
                        LinkTargets& targets, ProgressObserver& progress) {
    std::string images;
    const bool thumbnails = page.thumbnail != 0;
    const bool details = !thumbnails && page.details != 0;
    const std::string separator = page.position == 2 ? "<hr>\r\n" : "<br><hr>\r\n";
    if (thumbnails) {
        ThumbnailTable table(images, page, links);
        table.open();
        makeThumbnails(paths, placed, page, prefs, workers, targets, progress, [&](const PlacedThumbnail& t) {
            const std::string& target = targets.of(t.source);
            table.WriteThumbnailCell(target, t.showsSource ? target : t.thumbnail);
        });
        table.close();
    } else {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            stopWhenCancelled(progress);
            const std::string& path = *paths[i];
            const std::string& target = targets.of(paths[i]);
            std::string error;
            if (details) {
                ImageDetails imageDetails;
                if (ReadImageDetails(path, imageDetails, error) != 0) {
                    progress.imageFailed(path, error);
                    continue;
                }
                if (links.relative()) imageDetails.folder = splitPath(links.shown(target)).folder;
                images += FormatDetailBlockWithSource(links.url(target), imageDetails, page.position,
                                                      page.center != 0, page.page_infocolor);
            } else {
                if (!pingImageFile(path, error)) {
                    progress.imageFailed(path, error);
                    continue;
                }
                WritePlainImage(images, target, links);
            }
            placed.push_back(paths[i]);
            progress.setLabel(path);
            progress.setPosition(static_cast<int>(i));
            if (page.line) images += separator;
        }
    }
    if (!page.line) images += "<hr>\r\n";
    WritePageFooter(images);
    return images;
}

// When the photo at `path` was taken, for the modern page's date order.
std::optional<CaptureTime> timeOf(const std::string& path, const PhotoMetadata* metadata) {
    if (metadata) {
        if (auto taken = captureTimeFrom(metadata->captureTime, metadata->captureOffset)) return taken;
    }
    if (const std::optional<FileStamp> stamp = stampOfFile(path)) return fileTime(stamp->mtimeNs);
    return std::nullopt;
}

// The modern page's images in the order the page asks for, when it asks
// for another than the list's own.
void orderModernImages(std::vector<ModernImage>& images,
                       const std::vector<std::optional<CaptureTime>>& times, const PageSettings& page) {
    const PhotoOrder order = photoOrderOf(page, page.tri ? PhotoOrder::Name : PhotoOrder::None);
    if (order != PhotoOrder::Date && !page.reverseOrder) return;
    std::vector<OrderKey> keys;
    keys.reserve(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        keys.push_back({&images[i].name, times[i] ? &*times[i] : nullptr});
    }
    std::vector<ModernImage> sorted;
    sorted.reserve(images.size());
    for (std::size_t i : orderOf(keys, order, page.reverseOrder != 0)) sorted.push_back(std::move(images[i]));
    images = std::move(sorted);
}

// The images of the modern page.
std::vector<ModernImage> modernImages(const std::vector<const std::string*>& paths,
                                      std::vector<const std::string*>& placed,
                                      const PageSettings& page, const Preferences& prefs,
                                      int workers, const PageLinks& links,
                                      LinkTargets& targets, ProgressObserver& progress,
                                      std::vector<std::optional<CaptureTime>>& times) {
    std::vector<ModernImage> images;
    images.reserve(paths.size());
    if (page.thumbnail) {
        makeThumbnails(paths, placed, page, prefs, workers, targets, progress, [&](const PlacedThumbnail& t) {
            const std::string& target = targets.of(t.source);
            ModernImage image;
            image.name = fileNameOf(*t.source);
            image.caption = t.caption;
            image.linkUrl = links.url(target);
            image.shownUrl = t.showsSource ? image.linkUrl : links.url(t.thumbnail);
            if (!t.thumbnail2x.empty()) image.shown2xUrl = links.url(t.thumbnail2x);
            image.shownWidth = t.size.width;
            image.shownHeight = t.size.height;
            image.video = t.video != nullptr;
            times.push_back(timeOf(*t.source, t.metadata));
            images.push_back(std::move(image));
        });
        return images;
    }
    const bool details = page.details != 0;
    const unsigned webSize = page.portable ? page.webSize : 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        stopWhenCancelled(progress);
        const std::string& path = *paths[i];
        ModernImage image;
        std::string error;
        std::size_t width = 0, height = 0;
        if (details) {
            if (ReadImageDetails(path, image.details, error) != 0) {
                progress.imageFailed(path, error);
                continue;
            }
            width = image.details.width;
            height = image.details.height;
        } else {
            const std::optional<ImageHeader> header = pingImageFile(path, error);
            if (!header) {
                progress.imageFailed(path, error);
                continue;
            }
            width = header->width;
            height = header->height;
        }
        const CopySize shown = webCopySize(width, height, webSize);
        image.name = fileNameOf(path);
        const PhotoMetadata metadata = imageMetadata(path);
        image.caption = metadata.caption;
        times.push_back(timeOf(path, &metadata));
        image.linkUrl = links.url(targets.of(paths[i]));
        image.shownUrl = image.linkUrl;
        image.shownWidth = shown.width;
        image.shownHeight = shown.height;
        images.push_back(std::move(image));
        placed.push_back(paths[i]);
        progress.setLabel(path);
        progress.setPosition(static_cast<int>(i));
    }
    return images;
}

}  // namespace

int GenerateAlbumPage(int count, const PageSettings& page, const Preferences& prefs,
                      const SelectedFileList& files, ProgressObserver& progress) {
    return GenerateAlbumPage(count, page, prefs, files, progress, AlbumRunOptions{});
}

int GenerateAlbumPage(int count, const PageSettings& settings, const Preferences& prefs,
                      const SelectedFileList& files, ProgressObserver& progress,
                      const AlbumRunOptions& run) {
    // The thumbnails of the page's style: the classic page's are the stored
    // width and height, the modern page's its own.
    PageSettings page = settings;
    setThumbnailSize(page, kStyleClassic, thumbnailSize(settings, settings.style));
    // The classic page is in name order when « Trier » says so; the modern
    // page in the order it asks for (date order is made once the photos
    // are read, from name order).
    const bool byName = page.style == kStyleModern
                            ? photoOrderOf(page, page.tri ? PhotoOrder::Name : PhotoOrder::None) != PhotoOrder::None
                            : page.tri != 0;
    std::vector<const std::string*> paths = files.inPageOrder(byName, count);
    progress.started(static_cast<int>(paths.size()));

    // Two runs into one folder would mix their albums: the second stops.
    std::string busy;
    const std::optional<AlbumLock> lock = AlbumLock::take(pageFolderOf(page), busy);
    if (!lock) {
        progress.failed("Impossible de créer " + page.pagePath + " : " + busy);
        return 1;
    }
    PageFile out;
    if (!out.create(page.pagePath)) {
        progress.failed(pageFailure(page.pagePath, out));
        return 1;
    }
    const int workers = run.workers > 0 ? run.workers : defaultWorkerCount();
    const PageLinks links = page.portable ? PageLinks::relativeTo(pageFolderOf(page)) : PageLinks();
    LinkTargets targets;
    // The images come first: the header lists only those that are placed.
    std::vector<const std::string*> placed;
    try {
    if (page.portable) copyForPortableAlbum(paths, targets, page, workers, progress);
    placed.reserve(paths.size());
    if (page.style == kStyleModern) {
        std::vector<std::optional<CaptureTime>> times;
        std::vector<ModernImage> images =
            modernImages(paths, placed, page, prefs, workers, links, targets, progress, times);
        orderModernImages(images, times, page);
        out.write(ModernPage(page, images, generationDate()));
    } else {
        const std::string body =
            classicBody(paths, placed, page, prefs, workers, links, targets, progress);
        std::vector<std::string> shown;
        shown.reserve(placed.size());
        for (const std::string* path : placed) shown.push_back(links.shown(targets.of(path)));
        writeHeader(out, page, shown, links);
        out.write(body);
    }
    stopWhenCancelled(progress);
    } catch (const GenerationCancelled&) {
        return 2;  // the temporary page goes with `out`
    }
    if (!out.commit()) {
        progress.failed(pageFailure(page.pagePath, out));
        return 1;
    }
    if (page.portable) {
        // What this page made and links no more (images left out, or made
        // by a run that was stopped) goes.
        std::vector<std::string> copies;
        for (const std::string* path : placed) copies.push_back(targets.of(path));
        removeUnlinkedFiles(joinPath(pageFolderOf(page), kImagesFolderName), pageNameOf(page), copies);
        removeUnlinkedFiles(thumbnailFolder(page, prefs), pageNameOf(page), targets.thumbnails());
    }
    return 0;
}

}  // namespace lumigal
