// The gallery's pages, rendered from the album model: for each album, its
// pages of at most `perPage` photos (index.html, page-2.html, ...), its
// sub-albums first (cover, title, number of photos, dates), a breadcrumb
// path back to the index, previous / next page links, and the viewer, in
// which each photo has its own address (page.html#id).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "album/album_model.h"
#include "settings/settings_schema.h"

namespace lumigal {

struct GalleryOptions {
    std::string indexName = "index.html";  // the file name of each album's first page
    unsigned perPage = 100;                // photos per page; 0: all on one page
    std::string footer;                    // the footer's text (not escaped); empty: none
    std::string baseUrl;   // where the gallery will be published ("https://…/"); empty: no preview cards
    std::string date;      // when it was made, as the pages show it
    bool zip = false;      // each album offers a ZIP of its copies
};

struct GalleryPage {
    std::string path;  // relative to the output folder ("2026/Bretagne/page-2.html")
    std::string html;
};

// Every page of `root` and of its sub-albums, with the colours of `page`.
std::vector<GalleryPage> galleryPages(const Album& root, const PageSettings& page,
                                      const GalleryOptions& options);

// The same pages one at a time, each given to `sink` as soon as it is made:
// a gallery of any size is written without holding all its pages.
void forEachGalleryPage(const Album& root, const PageSettings& page, const GalleryOptions& options,
                        const std::function<void(GalleryPage&&)>& sink);

// The file name of page `number` (1-based) of an album.
std::string galleryPageName(const GalleryOptions& options, std::size_t number);

}  // namespace lumigal
