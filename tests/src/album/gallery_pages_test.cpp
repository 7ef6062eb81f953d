// The gallery pages rendered from album models built here: the pages and
// their names, the links between albums and pages, the addresses of the
// photos, the preview cards, and what hostile texts become.
#include "album/gallery_pages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "album/gallery_links.h"
#include "album/human_units.h"

namespace lumigal {
namespace {

CaptureTime day(int d) {
    CaptureTime t;
    const std::string dd = (d < 10 ? "0" : "") + std::to_string(d);
    t.key = 1781400000 + d * 86400;
    t.iso = "2026-06-" + dd + "T15:02:00";
    t.shown = dd + "/06/2026 15:02";
    t.fromMetadata = true;
    return t;
}

AlbumImage photo(const std::string& folder, const std::string& name, int d) {
    const std::string prefix = folder.empty() ? "" : folder + "/";
    AlbumImage p;
    p.source = "/home/anne/Photos secrètes/" + name;
    p.name = name;
    p.id = "photo-" + std::to_string(d);
    p.taken = day(d);
    p.link = prefix + "copies/" + name;
    p.linkBytes = 1234567;
    p.width = 1600;
    p.height = 1200;
    p.thumbnail = {prefix + "vignettes/" + name, 320, 240};
    return p;
}

Album album(const std::string& title, const std::string& folder, int photos, int firstDay = 1) {
    Album a;
    a.title = title;
    a.folder = folder;
    for (int k = 0; k < photos; ++k) a.images.push_back(photo(folder, "p" + std::to_string(k) + ".jpg", firstDay + k));
    a.photoCount = a.images.size();
    if (photos) {
        a.first = a.images.front().taken;
        a.last = a.images.back().taken;
        a.cover = a.images.front().thumbnail;
    }
    return a;
}

PageSettings colours() {
    PageSettings page;
    page.page_bgcolor = 0xFFFFFF;
    page.table_bordercolordark = 0x000080;
    return page;
}

std::vector<GalleryPage> render(const Album& root, GalleryOptions options = {}) {
    return galleryPages(root, colours(), options);
}

std::vector<std::string> all(const std::string& text, const std::string& pattern) {
    std::vector<std::string> out;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it) {
        out.push_back((*it)[1].str());
    }
    return out;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(GalleryPages, PagesAndTheirNamesFollowPerPage) {
    struct Case {
        unsigned perPage;
        int photos;
        std::vector<std::string> names;
        std::vector<std::size_t> tiles;
    };
    const std::vector<Case> cases = {
        {0, 5, {"index.html"}, {5}},
        {1, 3, {"index.html", "page-2.html", "page-3.html"}, {1, 1, 1}},
        {2, 4, {"index.html", "page-2.html"}, {2, 2}},
        {2, 5, {"index.html", "page-2.html", "page-3.html"}, {2, 2, 1}},
        {100, 0, {"index.html"}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("perPage " + std::to_string(c.perPage) + ", " + std::to_string(c.photos) + " photos");
        Album root = album("Galerie", "", c.photos);
        GalleryOptions options;
        options.perPage = c.perPage;
        const std::vector<GalleryPage> pages = render(root, options);
        ASSERT_EQ(pages.size(), c.names.size());
        std::set<std::string> ids;
        for (std::size_t n = 0; n < pages.size(); ++n) {
            EXPECT_EQ(pages[n].path, c.names[n]);
            EXPECT_EQ(galleryPageName(options, n + 1), c.names[n]);
            EXPECT_EQ(count(pages[n].html, "class=\"v\""), c.tiles[n]);
            for (const std::string& id : all(pages[n].html, "<a class=\"v\" href=\"[^\"]*\" id=\"([^\"]*)\"")) {
                EXPECT_TRUE(ids.insert(id).second) << "twice: " << id;
            }
        }
        EXPECT_EQ(ids.size(), static_cast<std::size_t>(c.photos)) << "every photo on one page";
    }
}

// An index, a year, and an album whose folder name needs escaping.
Album nested() {
    Album root = album("Mes photos", "", 0);
    Album year = album("2026", "2026", 0);
    Album trip = album("Bretagne #1 été", "2026/06 Bretagne #1 été", 3, 14);
    trip.images[1].link = "2026/06 Bretagne #1 été/copies/a b?c%.jpg";
    year.albums.push_back(trip);
    year.photoCount = 3;
    year.first = trip.first;
    year.last = trip.last;
    year.cover = trip.cover;
    root.albums.push_back(year);
    root.photoCount = 3;
    root.cover = trip.cover;
    return root;
}

TEST(GalleryPages, NestedAlbumsLinkEachOtherRelatively) {
    const std::vector<GalleryPage> pages = render(nested());
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].path, "index.html");
    EXPECT_EQ(pages[1].path, "2026/index.html");
    EXPECT_EQ(pages[2].path, "2026/06 Bretagne #1 été/index.html");
    const std::string& trip = pages[2].html;
    // The breadcrumb: the index and the year as links, the album itself not.
    EXPECT_NE(trip.find("<nav class=\"crumbs\" aria-label=\"Fil d'Ariane\"><ol><li><a href=\"../../index.html\">Mes photos"
                        "</a></li><li><a href=\"../index.html\">2026</a></li><li aria-current=\"page\">Bretagne #1 été</li>"),
              std::string::npos);
    EXPECT_NE(trip.find("href=\"copies/a%20b%3Fc%25.jpg\""), std::string::npos);
    EXPECT_NE(trip.find("src=\"vignettes/p0.jpg\""), std::string::npos);
    EXPECT_NE(pages[1].html.find("<a href=\"06%20Bretagne%20%231%20%C3%A9t%C3%A9/index.html\"><img src=\"06%20Bretagne"
                                 "%20%231%20%C3%A9t%C3%A9/vignettes/p0.jpg\" width=\"320\" height=\"240\" alt=\"Bretagne #1 été\""
                                 " loading=\"lazy\">"),
              std::string::npos);
    EXPECT_NE(pages[0].html.find("<a href=\"2026/index.html\">"), std::string::npos);
    EXPECT_EQ(pages[0].html.find("Fil d'Ariane"), std::string::npos) << "the index is where every path begins";
    EXPECT_NE(pages[1].html.find("<ol><li><a href=\"../index.html\">Mes photos</a></li><li aria-current=\"page\">2026</li></ol>"),
              std::string::npos);
    EXPECT_NE(trip.find("3 photos &middot; <time datetime=\"2026-06-14\">14/06/2026</time> \xE2\x80\x93 "
                        "<time datetime=\"2026-06-16\">16/06/2026</time>"),
              std::string::npos);
    EXPECT_NE(pages[0].html.find("<h2>Albums</h2>"), std::string::npos);
    EXPECT_EQ(pages[0].html.find("<h2>Photos</h2>"), std::string::npos) << "no photos of its own";
    EXPECT_EQ(pages[0].html.find("<script>"), std::string::npos) << "no viewer without photos";
}

TEST(GalleryPages, AnAlbumWithAZipOffersItOnEachOfItsPagesOnly) {
    Album root = nested();
    Album& trip = root.albums[0].albums[0];
    trip.zip = trip.folder + "/album.zip";
    trip.zipBytes = 1'300'000;
    GalleryOptions options;
    options.perPage = 2;
    for (const GalleryPage& page : render(root, options)) {
        SCOPED_TRACE(page.path);
        const bool inTrip = page.path.starts_with(trip.folder + "/");
        EXPECT_EQ(count(page.html, "<p class=\"zip\"><a href=\"album.zip\" download=\"06 Bretagne #1 été.zip\">"
                                   "Télécharger l’album (ZIP, 1,2 Mo)</a>"),
                  inTrip ? 1u : 0u)
            << page.html.substr(std::min(page.html.find("<p class=\"zip"), page.html.size()), 160);
        if (!inTrip) EXPECT_EQ(page.html.find("album.zip"), std::string::npos);
    }
}

TEST(GalleryPages, PagesLinkTheirNeighbours) {
    Album root = album("Galerie", "", 5);
    GalleryOptions options;
    options.perPage = 2;
    const std::vector<GalleryPage> pages = render(root, options);
    ASSERT_EQ(pages.size(), 3u);
    struct Want {
        std::string prev, next, prevLast, nextFirst, current;
    };
    const Want want[] = {{"", "page-2.html", "", "photo-3", "index.html"},
                         {"index.html", "page-3.html", "photo-2", "photo-5", "page-2.html"},
                         {"page-2.html", "", "photo-4", "", "page-3.html"}};
    for (std::size_t n = 0; n < 3; ++n) {
        SCOPED_TRACE(pages[n].path);
        const std::string& html = pages[n].html;
        const auto one = [&](const std::string& pattern) {
            const auto found = all(html, pattern);
            return found.empty() ? std::string() : found.front();
        };
        EXPECT_EQ(one("<link rel=\"prev\" href=\"([^\"]*)\">"), want[n].prev);
        EXPECT_EQ(one("<link rel=\"next\" href=\"([^\"]*)\">"), want[n].next);
        EXPECT_EQ(one("<a rel=\"prev\" href=\"([^\"]*)\">"), want[n].prev);
        EXPECT_EQ(one("<a rel=\"next\" href=\"([^\"]*)\">"), want[n].next);
        EXPECT_EQ(one("data-prev-last=\"([^\"]*)\""), want[n].prevLast);
        EXPECT_EQ(one("data-next-first=\"([^\"]*)\""), want[n].nextFirst);
        EXPECT_EQ(one("<a href=\"([^\"]*)\" aria-current=\"page\">"), want[n].current);
        EXPECT_EQ(count(html, "aria-current=\"page\""), 1u) << "the page number; the index has no breadcrumb";
    }
}

TEST(GalleryPages, ManyPagesLinkOnlyTheNearOnes) {
    Album root = album("Galerie", "", 50);
    GalleryOptions options;
    options.perPage = 1;
    const std::vector<GalleryPage> pages = render(root, options);
    ASSERT_EQ(pages.size(), 50u);
    const std::string nav = pages[24].html.substr(pages[24].html.find("<nav class=\"pages\""));
    const std::vector<std::string> numbers = all(nav, "<li><a href=\"[^\"]*\"[^>]*>([0-9]+)</a></li>");
    EXPECT_EQ(numbers, (std::vector<std::string>{"1", "23", "24", "25", "26", "27", "50"}));
    EXPECT_EQ(count(nav, "\xE2\x80\xA6"), 2u);
}

TEST(GalleryPages, PreviewCardsOnlyWithTheAddressOfPublication) {
    const Album root = nested();
    for (const GalleryPage& page : render(root)) EXPECT_EQ(page.html.find("og:"), std::string::npos) << page.path;
    GalleryOptions options;
    options.baseUrl = "https://photos.exemple.fr/galerie";
    options.perPage = 2;
    const std::vector<GalleryPage> pages = render(root, options);
    ASSERT_EQ(pages.size(), 4u);
    const std::string& second = pages[3].html;
    EXPECT_NE(second.find("<meta property=\"og:url\" content=\"https://photos.exemple.fr/galerie/2026/06%20Bretagne%20%231"
                          "%20%C3%A9t%C3%A9/page-2.html\">"),
              std::string::npos);
    EXPECT_NE(second.find("<meta property=\"og:image\" content=\"https://photos.exemple.fr/galerie/2026/06%20Bretagne%20%231"
                          "%20%C3%A9t%C3%A9/vignettes/p0.jpg\">"),
              std::string::npos);
    EXPECT_NE(second.find("<meta property=\"og:type\" content=\"website\">"), std::string::npos);
    EXPECT_NE(second.find("<meta property=\"og:title\" content=\"Bretagne #1 été \xE2\x80\x93 page 2 sur 2\">"),
              std::string::npos);
    for (const GalleryPage& page : pages) {
        for (const std::string& url : all(page.html, "property=\"og:(?:url|image)\" content=\"([^\"]*)\"")) {
            EXPECT_EQ(url.rfind("https://photos.exemple.fr/galerie/", 0), 0u) << url;
            EXPECT_EQ(url.find(' '), std::string::npos) << url;
        }
    }
}

TEST(GalleryPages, HostileTextsAreEscapedAndNoMachinePathIsShown) {
    const std::string hostile = "\"><script>alert(1)</script>";
    Album root = album(hostile, "", 2);
    root.description = hostile;
    root.images[0].caption = hostile;
    root.images[0].camera = hostile;
    root.images[1].name = "bad\x01\xFFname.jpg";
    Album sub = album(hostile, "sous", 1);
    root.albums.push_back(sub);
    GalleryOptions options;
    options.footer = hostile;
    options.baseUrl = "https://exemple.fr/";
    for (const GalleryPage& page : render(root, options)) {
        SCOPED_TRACE(page.path);
        EXPECT_EQ(page.html.find("<script>alert"), std::string::npos);
        EXPECT_NE(page.html.find("&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
        EXPECT_LE(count(page.html, "<script>"), 1u);
        EXPECT_EQ(page.html.find("/home/anne"), std::string::npos);
        EXPECT_EQ(page.html.find("secrètes"), std::string::npos);
        EXPECT_EQ(page.html.find("example.org"), std::string::npos);
        EXPECT_EQ(page.html.find("mailto:"), std::string::npos);
        EXPECT_EQ(page.html.find("fait par Lumigal"), std::string::npos) << "the footer given replaces it";
        EXPECT_EQ(page.html.find('\x01'), std::string::npos);
    }
    EXPECT_NE(render(root)[0].html.find("alt=\"bad\xEF\xBF\xBD\xEF\xBF\xBDname.jpg\""), std::string::npos);
}

TEST(GalleryPages, ThemeSharpnessAndViewerData) {
    Album root = album("Galerie", "", 2);
    root.images[0].thumbnail2x = {"vignettes/p0@2x,a.jpg", 640, 480};
    root.images[0].camera = "Canon EOS 80D \xC2\xB7 35 mm";
    root.images[0].linksOriginal = true;
    GalleryOptions options;
    options.date = "09/12/2026";
    const std::string html = render(root, options)[0].html;
    EXPECT_NE(html.find("@media (prefers-color-scheme:dark)"), std::string::npos);
    EXPECT_NE(html.find("outline:3px solid #800000"), std::string::npos) << "the dark border colour for the focus";
    EXPECT_EQ(count(html, "srcset="), 1u);
    EXPECT_NE(html.find("srcset=\"vignettes/p0.jpg 1x, vignettes/p0@2x%2Ca.jpg 2x\""), std::string::npos);
    EXPECT_NE(html.find("<li style=\"--r:1.333\"><a class=\"v\" href=\"copies/p0.jpg\" id=\"photo-1\" "
                        "data-date=\"01/06/2026 15:02\" data-datetime=\"2026-06-01T15:02:00\" "
                        "data-camera=\"Canon EOS 80D \xC2\xB7 35 mm\" data-size=\"1600 \xC3\x97 1200 \xC2\xB7 1,2 Mo\" "
                        "data-original=\"\">"),
              std::string::npos);
    EXPECT_EQ(count(html, "data-original"), 1u);
    EXPECT_NE(html.find("--h:240px"), std::string::npos);
    EXPECT_NE(html.find("fait par Lumigal version 1.11 le 09/12/2026"), std::string::npos);
    EXPECT_EQ(html.find("Page suivante"), std::string::npos) << "one page: no page numbers";
    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n", 0), 0u);
}

TEST(GalleryLinks, RelativeToThePagesFolder) {
    struct Case {
        const char* from;
        const char* path;
        const char* url;
    };
    const Case cases[] = {
        {"", "index.html", "index.html"},
        {"", "a/b/index.html", "a/b/index.html"},
        {"a/b", "index.html", "../../index.html"},
        {"a/b", "a/c/x.jpg", "../c/x.jpg"},
        {"a/b", "a/b/copies/x y.jpg", "copies/x%20y.jpg"},
        {"a", "ab/x.jpg", "../ab/x.jpg"},
        {"", "co:lon.jpg", "./co:lon.jpg"},
        {"", "été & #1?.jpg", "%C3%A9t%C3%A9%20&amp;%20%231%3F.jpg"},
    };
    for (const Case& c : cases) EXPECT_EQ(galleryUrl(c.from, c.path), c.url) << c.from << " -> " << c.path;
    EXPECT_EQ(publishedUrl("https://h.fr/g", "a b/x.jpg"), "https://h.fr/g/a%20b/x.jpg");
    EXPECT_EQ(publishedUrl("https://h.fr/g/", "x.jpg"), "https://h.fr/g/x.jpg");
}

TEST(HumanUnits, SizesAsPeopleReadThem) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 octet"},
        {1, "1 octet"},
        {850, "850 octets"},
        {1023, "1023 octets"},
        {1024, "1,0 Ko"},
        {1536, "1,5 Ko"},
        {10188, "9,9 Ko"},
        {10189, "10 Ko"},
        {870400, "850 Ko"},
        {1048063, "1023 Ko"},
        {1048064, "1,0 Mo"},
        {1048576, "1,0 Mo"},
        {1258291, "1,2 Mo"},
        {std::uint64_t{5} << 30, "5,0 Go"},
        {~std::uint64_t{0}, "16 Eo"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(humanBytes(bytes), text) << bytes;
    EXPECT_EQ(humanDimensions(1600, 1200), "1600 \xC3\x97 1200");
}

TEST(HumanUnits, DurationsAndCodecs) {
    const std::pair<double, const char*> durations[] = {
        {0, ""}, {0.4, ""}, {-3, ""}, {0.5, "0:01"}, {7.4, "0:07"}, {59.6, "1:00"},
        {754, "12:34"}, {3723, "1:02:03"}, {1e12, ""},
    };
    for (const auto& [seconds, text] : durations) EXPECT_EQ(humanDuration(seconds), text) << seconds;
    EXPECT_EQ(humanDuration(std::nan("")), "");
    const std::pair<const char*, const char*> codecs[] = {
        {"h264", "H.264"}, {"hevc", "HEVC"}, {"vp9", "VP9"}, {"av1", "AV1"}, {"mpeg4", "MPEG-4"},
    };
    for (const auto& [codec, name] : codecs) EXPECT_EQ(videoCodecName(codec), name) << codec;
}

// A video's tile: its poster, a play mark with its running time, what the
// viewer needs to play it, the note for a codec some browsers do not play;
// and the counts that tell photos from videos.
TEST(GalleryPages, VideosBesideThePhotos) {
    Album trip = album("Voyage", "voyage", 1);
    for (const bool everywhere : {true, false}) {
        AlbumImage clip = photo("voyage", everywhere ? "clip.mp4" : "phone.mov", 9);
        clip.id = everywhere ? "clip-mp4" : "phone-mov";
        clip.thumbnail.path = "voyage/vignettes/" + clip.id + ".jpg";
        clip.width = 1920;
        clip.height = 1080;
        clip.video = AlbumVideo{everywhere ? 75.0 : 3.0, everywhere ? "h264" : "hevc", everywhere};
        trip.images.push_back(clip);
    }
    trip.photoCount = 3;
    trip.videoCount = 2;
    Album root = album("Index", "", 0);
    root.albums.push_back(trip);
    root.photoCount = 3;
    root.videoCount = 2;
    const std::vector<GalleryPage> pages = galleryPages(root, colours(), GalleryOptions{});
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[0].html.find("<span class=\"n\">1 photo et 2 vid\xC3\xA9os</span>"), std::string::npos);
    const std::string& html = pages[1].html;
    EXPECT_NE(html.find("<h2>Photos et vid\xC3\xA9os</h2>"), std::string::npos);
    const std::regex tile("<li[^>]*><a class=\"v\" href=\"([^\"]+)\" id=\"([^\"]+)\"([^>]*)><img [^>]*>(.*?)</a></li>");
    std::map<std::string, std::pair<std::string, std::string>> tiles;  // id: attributes, marks
    for (std::sregex_iterator m(html.begin(), html.end(), tile), end; m != end; ++m) {
        tiles[(*m)[2]] = {(*m)[3], (*m)[4]};
    }
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles["photo-1"].first.find("data-video"), std::string::npos);
    EXPECT_EQ(tiles["photo-1"].second, "") << "a photo has no mark";
    const auto& [clip, clipMarks] = tiles["clip-mp4"];
    EXPECT_NE(clip.find(" data-video=\"\""), std::string::npos);
    EXPECT_NE(clip.find("data-size=\"1920 \xC3\x97 1080 \xC2\xB7 1:15 \xC2\xB7 H.264 \xC2\xB7 1,2 Mo\""), std::string::npos)
        << clip;
    EXPECT_EQ(clip.find("data-note"), std::string::npos);
    EXPECT_EQ(clipMarks, "<span class=\"play\"><span class=\"sr\">Vid\xC3\xA9o, </span>1:15</span>");
    const auto& [phone, phoneMarks] = tiles["phone-mov"];
    EXPECT_NE(phone.find("data-note=\"format non lu par tous les navigateurs\""), std::string::npos);
    EXPECT_NE(phoneMarks.find("<span class=\"note\">format non lu par tous les navigateurs</span>"), std::string::npos);
}

// Writes the pages of a small gallery into LUMIGAL_GALLERY_OUT (for the
// HTML and accessibility checkers and a look in a browser); the images
// named by the model are made there by the caller.
TEST(GalleryPages, WrittenForTheCheckers) {
    const char* out = std::getenv("LUMIGAL_GALLERY_OUT");
    if (!out) GTEST_SKIP() << "LUMIGAL_GALLERY_OUT not set";
    Album root = nested();
    root.description = "Nos vacances d'été, année par année.";
    Album& trip = root.albums[0].albums[0];
    for (int k = 3; k < 7; ++k) trip.images.push_back(photo(trip.folder, "p" + std::to_string(k) + ".jpg", 14 + k));
    trip.images[1].link = trip.images[0].link;
    trip.images[0].caption = "Le port de Roscoff";
    trip.images[0].camera = "Canon EOS 80D \xC2\xB7 35 mm \xC2\xB7 f/5,6 \xC2\xB7 1/250 s \xC2\xB7 ISO 200";
    trip.images[0].linksOriginal = true;
    trip.images[2].thumbnail = {trip.folder + "/vignettes/p2.jpg", 180, 240};
    for (AlbumImage& p : trip.images) {
        if (p.thumbnail.width == 320) p.thumbnail2x = {trip.folder + "/vignettes/2x-" + p.name, 640, 480};
    }
    trip.photoCount = trip.images.size();
    trip.last = trip.images.back().taken;
    Album flat = album("Paris", "2026/05 Paris", 2, 3);
    root.albums[0].albums.push_back(flat);
    root.albums[0].photoCount = root.photoCount = trip.photoCount + 2;
    GalleryOptions options;
    options.perPage = 4;
    options.baseUrl = "https://photos.exemple.fr/";
    options.date = "09/12/2026";
    for (const GalleryPage& page : galleryPages(root, colours(), options)) {
        const std::filesystem::path file = std::filesystem::path(out) / page.path;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << page.html;
    }
}

}  // namespace
}  // namespace lumigal
