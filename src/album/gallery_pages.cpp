// A stand-in for the gallery's renderer, to be replaced by the real one:
// plain valid pages (title, breadcrumb, sub-albums, thumbnails, page links)
// so that the gallery writer can be built and tried end to end.
#include "album/gallery_pages.h"

#include <filesystem>

#include "album/html.h"

namespace lumigal {

namespace {

std::string href(const std::string& from, const std::string& to) {
    const std::string rel = std::filesystem::path(to).lexically_relative(from.empty() ? "." : from).generic_string();
    return htmlEscape(percentEncodePath(rel));
}

std::string in(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

void render(const Album& album, std::vector<const Album*>& path, const GalleryOptions& o,
            std::vector<GalleryPage>& pages) {
    const std::size_t per = o.perPage == 0 ? album.images.size() + 1 : o.perPage;
    const std::size_t count = album.images.empty() ? 1 : (album.images.size() + per - 1) / per;
    const std::string& f = album.folder;
    for (std::size_t n = 1; n <= count; ++n) {
        std::string h = "<!DOCTYPE html>\n<html lang=\"fr\"><head><meta charset=\"utf-8\">"
                        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>" +
                        htmlEscape(album.title) + "</title></head><body><nav aria-label=\"Chemin\">";
        for (const Album* a : path) h += "<a href=\"" + href(f, in(a->folder, o.indexName)) + "\">" + htmlEscape(a->title) + "</a> / ";
        h += "</nav><main><h1>" + htmlEscape(album.title) + "</h1>";
        if (!album.description.empty()) h += "<p>" + htmlEscape(album.description) + "</p>";
        for (const Album& sub : album.albums) {
            h += "<p><a href=\"" + href(f, in(sub.folder, o.indexName)) + "\">";
            if (!sub.cover.path.empty()) h += "<img src=\"" + href(f, sub.cover.path) + "\" alt=\"\">";
            h += htmlEscape(sub.title) + " (" + std::to_string(sub.photoCount) + ")</a></p>";
        }
        for (std::size_t i = (n - 1) * per; i < album.images.size() && i < n * per; ++i) {
            const AlbumImage& im = album.images[i];
            h += "<a id=\"" + im.id + "\" href=\"" + href(f, im.link) + "\"><img src=\"" + href(f, im.thumbnail.path) +
                 "\" alt=\"" + htmlEscape(im.caption.empty() ? im.name : im.caption) + "\" width=\"" +
                 std::to_string(im.thumbnail.width) + "\" height=\"" + std::to_string(im.thumbnail.height) + "\"></a>\n";
        }
        if (n > 1) h += "<a rel=\"prev\" href=\"" + galleryPageName(o, n - 1) + "\">Précédente</a> ";
        if (n < count) h += "<a rel=\"next\" href=\"" + galleryPageName(o, n + 1) + "\">Suivante</a>";
        h += "</main></body></html>\n";
        pages.push_back({in(f, galleryPageName(o, n)), std::move(h)});
    }
    path.push_back(&album);
    for (const Album& sub : album.albums) render(sub, path, o, pages);
    path.pop_back();
}

}  // namespace

std::vector<GalleryPage> galleryPages(const Album& root, const PageSettings&, const GalleryOptions& options) {
    std::vector<GalleryPage> pages;
    std::vector<const Album*> path;
    render(root, path, options, pages);
    return pages;
}

std::string galleryPageName(const GalleryOptions& options, std::size_t number) {
    return number <= 1 ? options.indexName : "page-" + std::to_string(number) + ".html";
}

}  // namespace lumigal
