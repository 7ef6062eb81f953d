// The gallery's pure pieces: capture times and the order of photos and
// albums, the camera line, the photos' addresses and the albums' folders,
// album.txt.
#include <gtest/gtest.h>

#include <cmath>

#include "album/camera_line.h"
#include "album/gallery_names.h"
#include "album/gallery_source.h"
#include "album/photo_order.h"

namespace lumigal {
namespace {

TEST(CaptureTime, FromMetadataAndFileTime) {
    struct Case {
        const char* dateTime;
        const char* offset;
        bool valid;
        std::int64_t key;
        const char* iso;
        const char* shown;
    };
    const Case cases[] = {
        {"2026-06-14T15:02:00", "", true, 1781449320, "2026-06-14T15:02:00", "14/06/2026 15:02"},
        {"2026-06-14T15:02:00", "+02:00", true, 1781442120, "2026-06-14T15:02:00+02:00", "14/06/2026 15:02"},
        {"2026-06-14T15:02:00", "-05:30", true, 1781469120, "2026-06-14T15:02:00-05:30", "14/06/2026 15:02"},
        {"2024-02-29T00:00:00", "", true, 1709164800, "2024-02-29T00:00:00", "29/02/2024 00:00"},
        {"1970-01-01T00:00:00", "", true, 0, "1970-01-01T00:00:00", "01/01/1970 00:00"},
        // A damaged offset is not applied, nor shown.
        {"2026-06-14T15:02:00", "+2", true, 1781449320, "2026-06-14T15:02:00", "14/06/2026 15:02"},
        {"2025-02-29T00:00:00", "", false, 0, "", ""},
        {"2026-13-01T00:00:00", "", false, 0, "", ""},
        {"2026-06-14T24:00:00", "", false, 0, "", ""},
        {"0000-00-00T00:00:00", "", false, 0, "", ""},  // what some cameras write when they do not know
        {"", "", false, 0, "", ""},
        {"2026-06-14", "", false, 0, "", ""},
    };
    for (const Case& c : cases) {
        const std::optional<CaptureTime> t = captureTimeFrom(c.dateTime, c.offset);
        ASSERT_EQ(t.has_value(), c.valid) << c.dateTime << c.offset;
        if (!t) continue;
        EXPECT_EQ(t->key, c.key) << c.dateTime << c.offset;
        EXPECT_EQ(t->iso, c.iso);
        EXPECT_EQ(t->shown, c.shown);
        EXPECT_TRUE(t->fromMetadata);
    }
    const CaptureTime file = fileTime(std::int64_t{1781449320} * 1000000000 + 999);
    EXPECT_EQ(file.key, 1781449320);
    EXPECT_EQ(file.shown, "14/06/2026 15:02");
    EXPECT_EQ(file.iso, "2026-06-14T15:02:00Z");
    EXPECT_FALSE(file.fromMetadata);
}

AlbumImage photo(const char* name, const char* dateTime, const char* offset = "") {
    AlbumImage image;
    image.name = name;
    image.taken = captureTimeFrom(dateTime, offset);
    return image;
}

std::string namesOf(const std::vector<AlbumImage>& images) {
    std::string names;
    for (const AlbumImage& i : images) names += (names.empty() ? "" : " ") + i.name;
    return names;
}

TEST(PhotoOrder, ByDateNameOrAsFound) {
    // c was taken first once its offset is counted; b and B share a time
    // with a; d has no time.
    const std::vector<AlbumImage> photos = {
        photo("d.jpg", ""),
        photo("b.jpg", "2026-06-14T10:00:00"),
        photo("a.jpg", "2026-06-14T10:00:00"),
        photo("c.jpg", "2026-06-14T11:00:00", "+02:00"),
        photo("B.jpg", "2026-06-14T10:00:00"),
        photo("e.jpg", "2026-06-15T08:00:00"),
    };
    struct Case {
        PhotoOrder order;
        bool reverse;
        const char* expected;
    };
    const Case cases[] = {
        {PhotoOrder::Date, false, "c.jpg a.jpg B.jpg b.jpg e.jpg d.jpg"},
        {PhotoOrder::Date, true, "e.jpg a.jpg B.jpg b.jpg c.jpg d.jpg"},
        {PhotoOrder::Name, false, "a.jpg B.jpg b.jpg c.jpg d.jpg e.jpg"},
        {PhotoOrder::Name, true, "e.jpg d.jpg c.jpg b.jpg B.jpg a.jpg"},
        {PhotoOrder::None, false, "d.jpg b.jpg a.jpg c.jpg B.jpg e.jpg"},
        {PhotoOrder::None, true, "e.jpg B.jpg c.jpg a.jpg b.jpg d.jpg"},
    };
    for (const Case& c : cases) {
        std::vector<AlbumImage> images = photos;
        orderImages(images, c.order, c.reverse);
        EXPECT_EQ(namesOf(images), c.expected) << static_cast<int>(c.order) << c.reverse;
    }
}

TEST(PhotoOrder, AlbumsByTheirNewestPhoto) {
    std::vector<Album> albums(3);
    albums[0].title = "Hiver";
    albums[0].last = captureTimeFrom("2025-02-01T00:00:00", "");
    albums[1].title = "Bretagne";
    albums[1].last = captureTimeFrom("2026-06-20T00:00:00", "");
    albums[2].title = "Alpes";
    albums[2].last = albums[0].last;
    const auto titles = [&] {
        std::string t;
        for (const Album& a : albums) t += a.title + " ";
        return t;
    };
    orderAlbums(albums, PhotoOrder::Date, false);
    EXPECT_EQ(titles(), "Alpes Hiver Bretagne ");
    orderAlbums(albums, PhotoOrder::Date, true);
    EXPECT_EQ(titles(), "Bretagne Alpes Hiver ");
    orderAlbums(albums, PhotoOrder::Name, false);
    EXPECT_EQ(titles(), "Alpes Bretagne Hiver ");
}

TEST(CameraLine, WhatThePhotoSays) {
    struct Case {
        PhotoMetadata m;
        const char* expected;
    };
    const auto meta = [](const char* make, const char* model, const char* lens, double focal, double f,
                         const char* exposure, unsigned iso) {
        PhotoMetadata m;
        m.make = make;
        m.model = model;
        m.lens = lens;
        m.focalLength = focal;
        m.aperture = f;
        m.exposureTime = exposure;
        m.iso = iso;
        return m;
    };
    const Case cases[] = {
        {meta("Canon", "Canon EOS 80D", "EF-S 18-55mm", 35, 5.6, "1/250", 200),
         "Canon EOS 80D · EF-S 18-55mm · 35 mm · f/5,6 · 1/250 s · ISO 200"},
        {meta("NIKON CORPORATION", "NIKON D750", "", 50, 1.8, "0.5", 0), "NIKON D750 · 50 mm · f/1,8 · 0,5 s"},
        {meta("FUJIFILM", "X-T3", "", 4.25, 8, "2", 0), "FUJIFILM X-T3 · 4,3 mm · f/8 · 2 s"},
        {meta("", "Pixel 7", "", 0, 0, "", 800), "Pixel 7 · ISO 800"},
        {meta("Apple", "", "", 0, 0, "", 0), "Apple"},
        {meta("  ", "", "", -3, NAN, "", 0), ""},
        {meta("Canonical", "Canon EOS", "", 0, 0, "", 0), "Canonical Canon EOS"},
    };
    for (const Case& c : cases) EXPECT_EQ(cameraLine(c.m), c.expected);
}

TEST(GalleryNames, PhotoIdsAndAlbumFolders) {
    EXPECT_EQ(photoIds({"IMG_0412.JPG", "img 0412.jpg", "Été 2026.jpg", "...", "a.jpg", "A.JPG"}),
              (std::vector<std::string>{"img-0412-jpg", "img-0412-jpg-2", "t-2026-jpg", "photo", "a-jpg",
                                        "a-jpg-2"}));
    EXPECT_EQ(photoIds({"x.jpg", "x.jpg"}), photoIds({"x.jpg", "x.jpg"})) << "stable";
    EXPECT_EQ(albumFolderNames({"06 Bretagne", "..", ".cache", "Images", "vignettes", "b\x01z", "Été", "été",
                                "ÉTÉ"}),
              (std::vector<std::string>{"06 Bretagne", "album", "cache", "Images (2)", "vignettes (2)", "b_z", "Été",
                                        "été (2)", "ÉTÉ (3)"}));
}

TEST(AlbumText, Fields) {
    const AlbumText t = parseAlbumText(
        "\xEF\xBB\xBFtitre : Vacances en Bretagne\r\nautre: rien\nDescription: Une semaine\x07 au bord\n"
        "pas de deux-points\ncouverture:  IMG_0412.jpg  \n");
    EXPECT_EQ(t.title, "Vacances en Bretagne");
    EXPECT_EQ(t.description, "Une semaine  au bord");
    EXPECT_EQ(t.cover, "IMG_0412.jpg");
    const AlbumText english = parseAlbumText("title: Snow\ncover: a.jpg");
    EXPECT_EQ(english.title, "Snow");
    EXPECT_EQ(english.cover, "a.jpg");
    EXPECT_EQ(parseAlbumText("").title, "");
}

}  // namespace
}  // namespace lumigal
