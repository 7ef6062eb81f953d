#include "album/gallery_pages.h"

#include <algorithm>

#include "album/gallery_links.h"
#include "album/html.h"
#include "album/human_units.h"
#include "gallery_parts.h"

namespace lumigal {

namespace {

// What one page of an album is: the album, the albums above it (the
// index first), its number among the album's pages and the photos it shows.
struct PageOf {
    const Album& album;
    const std::vector<const Album*>& trail;
    std::size_t number, count;
    std::size_t begin, end;  // the photos shown: album.images[begin, end)
};

// Said of a video that some browsers do not play as it is.
constexpr const char* kVideoNote = "format non lu par tous les navigateurs";

std::size_t pageCount(const Album& album, unsigned perPage) {
    if (perPage == 0 || album.images.empty()) return 1;
    return (album.images.size() + perPage - 1) / perPage;
}

std::string albumTitle(const Album& album) { return album.title.empty() ? std::string("Lumigal") : album.title; }

std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n < 2 ? one : many);
}

// « 12 photos », « 10 photos et 2 vidéos », « 1 vidéo ».
std::string photoCount(const Album& album) {
    const std::size_t videos = std::min(album.videoCount, album.photoCount);
    const std::size_t photos = album.photoCount - videos;
    const std::string v = counted(videos, "vid\xC3\xA9o", "vid\xC3\xA9os");
    if (videos == 0) return counted(photos, "photo", "photos");
    return photos == 0 ? v : counted(photos, "photo", "photos") + " et " + v;
}

// The day of a capture time: "14/06/2026" and "2026-06-14".
std::string shownDay(const CaptureTime& t) { return t.shown.substr(0, t.shown.find(' ')); }
std::string isoDay(const CaptureTime& t) { return t.iso.substr(0, std::min<std::size_t>(t.iso.size(), 10)); }

std::string timeTag(const CaptureTime& t) {
    return "<time datetime=\"" + pageText(isoDay(t)) + "\">" + pageText(shownDay(t)) + "</time>";
}

// « 14/06/2026 – 21/06/2026 », or one day; empty without dates. `tags`:
// the days in <time> elements, else plain text (not escaped).
std::string dateRange(const std::optional<CaptureTime>& first, const std::optional<CaptureTime>& last, bool tags) {
    const CaptureTime* from = first ? &*first : last ? &*last : nullptr;
    const CaptureTime* to = last ? &*last : from;
    if (!from) return {};
    const bool oneDay = shownDay(*from) == shownDay(*to);
    if (!tags) return oneDay ? shownDay(*from) : shownDay(*from) + " \xE2\x80\x93 " + shownDay(*to);
    return oneDay ? timeTag(*from) : timeTag(*from) + " \xE2\x80\x93 " + timeTag(*to);
}

// « 12 photos · 14/06/2026 – 21/06/2026 », not escaped (for the cards' description).
std::string summary(const Album& album) {
    std::string text = photoCount(album);
    const std::string dates = dateRange(album.first, album.last, false);
    if (!dates.empty()) text += " \xC2\xB7 " + dates;
    return text;
}

std::string pageUrl(const PageOf& p, std::size_t number, const GalleryOptions& options) {
    return galleryUrl(p.album.folder, inFolder(p.album.folder, galleryPageName(options, number)));
}

// A ratio as CSS reads it: "1.333".
std::string ratio(unsigned width, unsigned height) {
    if (width == 0 || height == 0) return "1";
    const std::uint64_t r = (std::uint64_t{width} * 1000 + height / 2) / height;
    std::string text = std::to_string(r / 1000);
    const std::uint64_t frac = r % 1000;
    if (frac) {
        std::string digits = std::to_string(frac);
        digits.insert(0, 3 - digits.size(), '0');
        while (digits.back() == '0') digits.pop_back();
        text += "." + digits;
    }
    return text;
}

// The preview cards of the pages shared on the web: only with the address
// the gallery will be published at, each URL absolute.
void writeCard(std::string& out, const PageOf& p, const GalleryOptions& options, const std::string& title) {
    if (options.baseUrl.empty()) return;
    const Album& album = p.album;
    std::string image = album.cover.path;
    for (std::size_t k = p.begin; image.empty() && k < p.end; ++k) {
        const AlbumImage& photo = album.images[k];
        image = !photo.thumbnail.path.empty() ? photo.thumbnail.path : photo.link;
    }
    const std::string description = album.description.empty() ? summary(album) : album.description;
    out += "<meta property=\"og:type\" content=\"website\">\n";
    out += "<meta property=\"og:title\" content=\"" + title + "\">\n";
    out += "<meta property=\"og:description\" content=\"" + pageText(description) + "\">\n";
    out += "<meta property=\"og:url\" content=\"" +
           publishedUrl(options.baseUrl, inFolder(album.folder, galleryPageName(options, p.number))) + "\">\n";
    if (!image.empty()) out += "<meta property=\"og:image\" content=\"" + publishedUrl(options.baseUrl, image) + "\">\n";
}

void writeHead(std::string& out, const PageOf& p, const PageSettings& page, const GalleryOptions& options) {
    std::string title = pageText(albumTitle(p.album));
    if (p.count > 1) title += " \xE2\x80\x93 page " + std::to_string(p.number) + " sur " + std::to_string(p.count);
    out += "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out += "<meta name=\"generator\" content=\"Lumigal 1.11\">\n";
    out += "<title>" + title + "</title>\n";
    if (!p.album.description.empty()) {
        out += "<meta name=\"description\" content=\"" + pageText(p.album.description) + "\">\n";
    }
    if (p.number > 1) out += "<link rel=\"prev\" href=\"" + pageUrl(p, p.number - 1, options) + "\">\n";
    if (p.number < p.count) out += "<link rel=\"next\" href=\"" + pageUrl(p, p.number + 1, options) + "\">\n";
    writeCard(out, p, options, title);
    out += "<style>" + galleryStyleSheet(page) + "</style>\n</head>\n<body>\n";
}

void writeBreadcrumb(std::string& out, const PageOf& p, const GalleryOptions& options) {
    const Album& album = p.album;
    out += "<nav class=\"crumbs\" aria-label=\"Fil d'Ariane\"><ol>";
    for (const Album* level : p.trail) {
        if (level == &album) {
            out += "<li aria-current=\"page\">" + pageText(albumTitle(*level)) + "</li>";
        } else {
            out += "<li><a href=\"" + galleryUrl(album.folder, inFolder(level->folder, options.indexName)) + "\">" +
                   pageText(albumTitle(*level)) + "</a></li>";
        }
    }
    out += "</ol></nav>\n";
}

void writeHeader(std::string& out, const PageOf& p, const GalleryOptions& options) {
    const Album& album = p.album;
    out += "<header>\n";
    // The path back to the index, from every album but the index itself.
    if (p.trail.size() > 1) writeBreadcrumb(out, p, options);
    out += "<h1>" + pageText(albumTitle(album)) + "</h1>\n";
    if (!album.description.empty()) out += "<p class=\"desc\">" + pageText(album.description) + "</p>\n";
    out += "<p class=\"info\">" + photoCount(album);
    const std::string dates = dateRange(album.first, album.last, true);
    if (!dates.empty()) out += " &middot; " + dates;
    out += "</p>\n";
    if (!album.zip.empty()) {
        // Saved under the album's name rather than the file's own.
        std::string saved = album.folder.empty() ? albumTitle(album) : album.folder.substr(album.folder.rfind('/') + 1);
        out += "<p class=\"zip\"><a href=\"" + galleryUrl(album.folder, album.zip) + "\" download=\"" +
               pageText(saved + ".zip") + "\">Télécharger l’album (ZIP, " +
               pageText(humanBytes(album.zipBytes)) + ")</a></p>\n";
    }
    out += "</header>\n";
}

std::string dimensions(const AlbumPicture& picture) {
    return "width=\"" + std::to_string(picture.width) + "\" height=\"" + std::to_string(picture.height) + "\"";
}

void writeAlbums(std::string& out, const Album& album, const GalleryOptions& options) {
    out += "<section>\n<h2>Albums</h2>\n<ul class=\"albums\">\n";
    for (const Album& sub : album.albums) {
        const std::string title = pageText(albumTitle(sub));
        out += "<li><a href=\"" + galleryUrl(album.folder, inFolder(sub.folder, options.indexName)) + "\">";
        if (!sub.cover.path.empty()) {
            out += "<img src=\"" + galleryUrl(album.folder, sub.cover.path) + "\" " + dimensions(sub.cover) +
                   " alt=\"" + title + "\" loading=\"lazy\">";
        }
        out += "<span class=\"t\">" + title + "</span><span class=\"n\">" + photoCount(sub) + "</span>";
        const std::string dates = dateRange(sub.first, sub.last, true);
        if (!dates.empty()) out += "<span class=\"d\">" + dates + "</span>";
        out += "</a></li>\n";
    }
    out += "</ul>\n</section>\n";
}

// A srcset candidate's URL may hold no comma (it would end the candidate).
std::string srcsetUrl(std::string url) {
    for (std::size_t at = url.find(','); at != std::string::npos; at = url.find(',', at)) url.replace(at, 1, "%2C");
    return url;
}

void writeTile(std::string& out, const Album& album, const AlbumImage& photo) {
    const bool hasThumbnail = !photo.thumbnail.path.empty();
    const AlbumPicture shown = hasThumbnail ? photo.thumbnail : AlbumPicture{photo.link, photo.width, photo.height};
    out += "<li style=\"--r:" + ratio(shown.width, shown.height) + "\"><a class=\"v\" href=\"" +
           galleryUrl(album.folder, photo.link) + "\" id=\"" + pageText(photo.id) + "\"";
    if (photo.taken) {
        out += " data-date=\"" + pageText(photo.taken->shown) + "\" data-datetime=\"" + pageText(photo.taken->iso) + "\"";
    }
    if (!photo.camera.empty()) out += " data-camera=\"" + pageText(photo.camera) + "\"";
    // What the link serves, as the viewer shows it: « 1600 × 1200 · 1,2 Mo »,
    // a video's with its running time and codec.
    const AlbumVideo* video = photo.video ? &*photo.video : nullptr;
    const std::string duration = video ? humanDuration(video->duration) : std::string();
    std::string size;
    const auto add = [&](const std::string& part) {
        if (!part.empty()) size += (size.empty() ? "" : " \xC2\xB7 ") + part;
    };
    if (photo.width && photo.height) add(humanDimensions(photo.width, photo.height));
    if (video) {
        add(duration);
        add(videoCodecName(video->codec));
    }
    if (photo.linkBytes) add(humanBytes(photo.linkBytes));
    if (!size.empty()) out += " data-size=\"" + pageText(size) + "\"";
    if (photo.linksOriginal) out += " data-original=\"\"";
    if (video) {
        out += " data-video=\"\"";
        if (!video->playsEverywhere) out += " data-note=\"" + std::string(kVideoNote) + "\"";
    }
    const std::string src = galleryUrl(album.folder, shown.path);
    out += "><img src=\"" + src + "\"";
    if (hasThumbnail && !photo.thumbnail2x.path.empty()) {
        out += " srcset=\"" + srcsetUrl(src) + " 1x, " + srcsetUrl(galleryUrl(album.folder, photo.thumbnail2x.path)) +
               " 2x\"";
    }
    out += " " + dimensions(shown) + " alt=\"" + pageText(photo.caption.empty() ? photo.name : photo.caption) +
           "\" loading=\"lazy\">";
    // A video's mark: a play sign and its running time, and what a browser
    // may not play.
    if (video) {
        out += "<span class=\"play\"><span class=\"sr\">Vid\xC3\xA9o" + std::string(duration.empty() ? "" : ", ") +
               "</span>" + duration + "</span>";
        if (!video->playsEverywhere) out += "<span class=\"note\">" + std::string(kVideoNote) + "</span>";
    }
    out += "</a></li>\n";
}

void writePhotos(std::string& out, const PageOf& p, const GalleryOptions& options) {
    const Album& album = p.album;
    unsigned rowHeight = 0;
    for (std::size_t k = p.begin; k < p.end; ++k) {
        const AlbumImage& photo = album.images[k];
        rowHeight = std::max(rowHeight, photo.thumbnail.path.empty() ? 0u : photo.thumbnail.height);
    }
    if (rowHeight == 0) rowHeight = 200;
    bool videos = false;
    for (std::size_t k = p.begin; k < p.end && !videos; ++k) videos = album.images[k].video.has_value();
    out += std::string("<section>\n<h2>") + (videos ? "Photos et vid\xC3\xA9os" : "Photos") +
           "</h2>\n<ul class=\"tiles\" style=\"--h:" + std::to_string(rowHeight) + "px\"";
    // The viewer walks on to the neighbour pages: their URLs and the ids of
    // the photos it lands on.
    if (p.number > 1) {
        out += " data-prev-page=\"" + pageUrl(p, p.number - 1, options) + "\" data-prev-last=\"" +
               pageText(album.images[p.begin - 1].id) + "\"";
    }
    if (p.number < p.count) {
        out += " data-next-page=\"" + pageUrl(p, p.number + 1, options) + "\" data-next-first=\"" +
               pageText(album.images[p.end].id) + "\"";
    }
    out += ">\n";
    for (std::size_t k = p.begin; k < p.end; ++k) writeTile(out, album, album.images[k]);
    out += "</ul>\n</section>\n";
}

// The page numbers: the first, the last, and two on each side of this one;
// « … » for the others, so that an album of a thousand pages links a dozen.
void writePagination(std::string& out, const PageOf& p, const GalleryOptions& options) {
    if (p.count < 2) return;
    out += "<nav class=\"pages\" aria-label=\"Pages\">\n";
    if (p.number > 1) {
        out += "<a rel=\"prev\" href=\"" + pageUrl(p, p.number - 1, options) + "\">\xE2\x80\xB9 Page pr\xC3\xA9" "c\xC3\xA9" "dente</a>\n";
    }
    out += "<ol>";
    bool gap = false;
    for (std::size_t n = 1; n <= p.count; ++n) {
        const bool near = n + 2 >= p.number && n <= p.number + 2;
        if (n != 1 && n != p.count && !near) {
            if (!gap) out += "<li><span>\xE2\x80\xA6</span></li>";
            gap = true;
            continue;
        }
        gap = false;
        out += "<li><a href=\"" + pageUrl(p, n, options) + "\"";
        if (n == p.number) out += " aria-current=\"page\"";
        out += ">" + std::to_string(n) + "</a></li>";
    }
    out += "</ol>\n";
    if (p.number < p.count) {
        out += "<a rel=\"next\" href=\"" + pageUrl(p, p.number + 1, options) + "\">Page suivante \xE2\x80\xBA</a>\n";
    }
    out += "</nav>\n";
}

void writeFooter(std::string& out, const PageOf& p, const GalleryOptions& options) {
    out += "<footer>\n<p>";
    if (!options.footer.empty()) {
        out += pageText(options.footer);
    } else {
        out += "fait par Lumigal version 1.11";
        // Only the index is dated, so that a page whose album did not change
        // stays the same from one run to the next.
        if (p.trail.size() == 1 && p.number == 1 && !options.date.empty()) out += " le " + pageText(options.date);
    }
    out += "</p>\n</footer>\n";
}

std::string renderPage(const PageOf& p, const PageSettings& page, const GalleryOptions& options) {
    std::string out;
    out.reserve(16384 + (p.end - p.begin) * 512);
    writeHead(out, p, page, options);
    writeHeader(out, p, options);
    out += "<main>\n";
    if (p.number == 1 && !p.album.albums.empty()) writeAlbums(out, p.album, options);
    if (p.end > p.begin) writePhotos(out, p, options);
    writePagination(out, p, options);
    out += "</main>\n";
    writeFooter(out, p, options);
    if (p.end > p.begin) {
        out += "<script>";
        out += galleryViewerScript();
        out += "</script>\n";
    }
    out += "</body>\n</html>\n";
    return out;
}

void renderAlbum(const Album& album, std::vector<const Album*>& trail, const PageSettings& page,
                 const GalleryOptions& options, const std::function<void(GalleryPage&&)>& sink) {
    trail.push_back(&album);
    const std::size_t count = pageCount(album, options.perPage);
    const std::size_t per = options.perPage == 0 ? album.images.size() : options.perPage;
    for (std::size_t number = 1; number <= count; ++number) {
        const std::size_t begin = std::min(album.images.size(), (number - 1) * per);
        const std::size_t end = std::min(album.images.size(), begin + per);
        const PageOf p{album, trail, number, count, begin, end};
        sink(GalleryPage{inFolder(album.folder, galleryPageName(options, number)), renderPage(p, page, options)});
    }
    for (const Album& sub : album.albums) renderAlbum(sub, trail, page, options, sink);
    trail.pop_back();
}

}  // namespace

void forEachGalleryPage(const Album& root, const PageSettings& page, const GalleryOptions& options,
                        const std::function<void(GalleryPage&&)>& sink) {
    std::vector<const Album*> trail;
    renderAlbum(root, trail, page, options, sink);
}

std::vector<GalleryPage> galleryPages(const Album& root, const PageSettings& page, const GalleryOptions& options) {
    std::vector<GalleryPage> pages;
    forEachGalleryPage(root, page, options, [&](GalleryPage&& p) { pages.push_back(std::move(p)); });
    return pages;
}

std::string galleryPageName(const GalleryOptions& options, std::size_t number) {
    return number <= 1 ? options.indexName : "page-" + std::to_string(number) + ".html";
}

}  // namespace lumigal
