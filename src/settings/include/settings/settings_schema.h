// The two settings records, the registry key "Software\Lumigal" of the
// current user that stores them, and the one table of their values: for
// each, its name, the field that holds it, its type, its first-install value,
// whether the program stores it and whether the installer writes it.
// Loading, saving, the installer and lumigal-batch's defaults all walk it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/colour.h"

namespace lumigal {

inline constexpr const char* kSettingsKey = "Software\\Lumigal";

// The program's folders and what happens after a page is made.
struct Preferences {
    std::string installPath;    // installation folder; the help file lies there (read only)
    std::string pathLaunch;     // folder in which the image picker opens
    std::string pathSave;       // initial destination folder of pages
    std::string pathThumbnail;  // folder into which thumbnails are written
    std::uint32_t bip = 0;      // beep after a page has been generated
    std::uint32_t launch = 0;   // open the new page after a successful generation
    bool operator==(const Preferences&) const = default;
};

// The page's title, destination, colours, layout, thumbnail and table options.
struct PageSettings {
    std::string pageTitle;   // not stored
    std::string pageFolder;  // not stored
    std::string pagePath;    // not stored
    std::string footer;      // not stored: the modern and gallery pages' footer text; empty: none
    Colour page_textcolor = 0;  // not stored
    Colour page_infocolor = 0;  // not stored
    Colour page_bgcolor = 0;    // not stored
    std::uint32_t details = 0;
    std::int32_t position = 0;  // 1 above, 2 below, 3 left, 4 right
    std::uint32_t center = 0;
    std::uint32_t line = 0;
    std::uint32_t tri = 0;
    std::uint32_t thumbnail = 0;
    std::uint32_t height = 0;
    std::uint32_t width = 0;
    std::uint32_t onlyIfSuitable = 0;
    std::uint32_t nbThumbByLine = 0;
    std::uint32_t keepSameFormat = 0;
    std::int32_t newFormat = 0;  // 0 BMP, 1 GIF, 2 JPEG, 3 PNG
    std::uint32_t table_border = 0;
    Colour table_bordercolor = 0;
    Colour table_bordercolordark = 0;
    std::uint32_t table_cellspace = 0;
    std::uint32_t table_cellpadding = 0;
    std::uint32_t style = 0;            // kStyleClassic or kStyleModern
    std::uint32_t keepProportions = 0;  // kProportionsOfStyle, kProportionsKept or kProportionsExact
    std::uint32_t portable = 0;         // the page's folder holds the whole album
    std::uint32_t webSize = 0;          // portable copies' longest edge; 0: the originals
    std::uint32_t keepLocation = 0;     // copies at the original size keep where they were taken
    std::uint32_t modernFormat = 0;     // the modern page's thumbnail format (see below)
    std::uint32_t modernWidth = 0;      // the modern page's thumbnail size; 0: kModernThumbnailSide
    std::uint32_t modernHeight = 0;
    std::uint32_t gallery = 0;       // one album per folder, in a tree of pages (modern, portable)
    std::uint32_t sortOrder = 0;     // kSortOfTri, kSortByName, kSortByDate or kSortNone
    std::uint32_t reverseOrder = 0;  // that order turned round
    std::uint32_t perPage = 0;       // photos per page: kPerPageOfStyle, kOnePage or a number
    // Not stored: the folders scanned for the page, and whether a portable
    // album follows the links in them that lead elsewhere.
    std::vector<std::string> chosenFolders;
    bool followLinks = false;
    bool operator==(const PageSettings&) const = default;
};

// The order of the photos of modern pages and galleries: as « Trier » says
// (name order, or as found), by name, by the time they were taken, or as
// found. The classic page keeps « Trier » (tri) alone.
inline constexpr std::uint32_t kSortOfTri = 0;
inline constexpr std::uint32_t kSortByName = 1;
inline constexpr std::uint32_t kSortByDate = 2;
inline constexpr std::uint32_t kSortNone = 3;

// Photos per page: as the style wants (kGalleryPerPage for a gallery, one
// page for the modern page), all on one page, or that many.
inline constexpr std::uint32_t kPerPageOfStyle = 0;
inline constexpr std::uint32_t kOnePage = 0xFFFFFFFFu;
inline constexpr std::uint32_t kGalleryPerPage = 100;

// newFormat of a JPEG thumbnail.
inline constexpr std::int32_t kJpegThumbnailFormat = 2;

// The page styles: today's table page, or the page for browsers and phones.
inline constexpr std::uint32_t kStyleClassic = 0;
inline constexpr std::uint32_t kStyleModern = 1;

// Thumbnail proportions: as the style wants (kept for the modern page,
// exact width x height for the classic one), kept, or exact.
inline constexpr std::uint32_t kProportionsOfStyle = 0;
inline constexpr std::uint32_t kProportionsKept = 1;
inline constexpr std::uint32_t kProportionsExact = 2;

// The modern page's thumbnail format: as the style wants (JPEG), the source's
// own format, or kModernFormatConverted + a newFormat value. keepSameFormat
// and newFormat are the classic page's.
inline constexpr std::uint32_t kModernFormatOfStyle = 0;
inline constexpr std::uint32_t kModernFormatSame = 1;
inline constexpr std::uint32_t kModernFormatConverted = 2;

// The thumbnail format a page of `style` is made with.
struct ThumbnailFormat {
    bool keepSameFormat = false;
    std::int32_t newFormat = 0;
    bool operator==(const ThumbnailFormat&) const = default;
};
inline ThumbnailFormat thumbnailFormat(const PageSettings& page, std::uint32_t style) {
    if (style != kStyleModern) return {page.keepSameFormat != 0, page.newFormat};
    if (page.modernFormat == kModernFormatSame) return {true, page.newFormat};
    if (page.modernFormat >= kModernFormatConverted && page.modernFormat <= kModernFormatConverted + 3)
        return {false, static_cast<std::int32_t>(page.modernFormat - kModernFormatConverted)};
    return {false, kJpegThumbnailFormat};  // kModernFormatOfStyle, and any unknown value
}
inline ThumbnailFormat thumbnailFormat(const PageSettings& page) {
    return thumbnailFormat(page, page.style);
}

// Records `format` as the choice for pages of `style`.
inline void setThumbnailFormat(PageSettings& page, std::uint32_t style, ThumbnailFormat format) {
    if (style != kStyleModern) {
        page.keepSameFormat = format.keepSameFormat ? 1 : 0;
        page.newFormat = format.newFormat;
    } else if (format.keepSameFormat) {
        page.modernFormat = kModernFormatSame;
    } else {
        page.modernFormat = kModernFormatConverted + static_cast<std::uint32_t>(format.newFormat);
    }
}

// The thumbnail size a page of `style` is made with: the classic page's
// width x height (75 x 75 at the first installation), the modern page's own
// size, kModernThumbnailSide square (fitted inside it) until one is chosen.
inline constexpr std::uint32_t kModernThumbnailSide = 280;
struct StyleThumbnailSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool operator==(const StyleThumbnailSize&) const = default;
};
inline StyleThumbnailSize thumbnailSize(const PageSettings& page, std::uint32_t style) {
    if (style != kStyleModern) return {page.width, page.height};
    return {page.modernWidth != 0 ? page.modernWidth : kModernThumbnailSide,
            page.modernHeight != 0 ? page.modernHeight : kModernThumbnailSide};
}
inline void setThumbnailSize(PageSettings& page, std::uint32_t style, StyleThumbnailSize size) {
    if (style != kStyleModern) {
        page.width = size.width;
        page.height = size.height;
    } else {
        page.modernWidth = size.width;
        page.modernHeight = size.height;
    }
}

// Whether thumbnails fit inside width x height with the image's proportions.
// `style` is the page's style, or the one the user is choosing.
inline bool keepsProportions(const PageSettings& page, std::uint32_t style) {
    if (page.keepProportions == kProportionsKept) return true;
    if (page.keepProportions == kProportionsExact) return false;
    return style == kStyleModern;
}
inline bool keepsProportions(const PageSettings& page) {
    return keepsProportions(page, page.style);
}

// The values the installer writes on a first installation (details on,
// 75 x 75 thumbnails, 10 per row, open the page after generation), with
// the given folder for pathSave, pathLaunch and installPath; every other
// field gets its first value from the table too (zero or empty).
void initialSettings(Preferences& prefs, PageSettings& page, const std::string& installFolder);

namespace settings {

// A stored value is a 32-bit number (4 bytes) or a text.
enum class Type { Number, Text };

enum class Stored {
    MemoryOnly,     // a field of the records only, never in the key
    ReadOnly,       // read at start-up, never written back by the program
    ReadWrite,      // read at start-up and written back when the program saves
    InstallerOnly,  // in the key but in no field: only the installer writes it
};

enum class Installer {
    Never,      // never written by the installer
    IfMissing,  // written where the key holds no value the program can read
    Always,     // written by every installation
};

// What a text holds on a first installation: nothing, or the folder the
// program is installed in.
enum class FirstText { Empty, Folder };

// The field of the records that holds a value, or none.
class Field {
public:
    constexpr Field() = default;
    constexpr Field(std::uint32_t Preferences::*field) : prefsNumber_(field) {}
    constexpr Field(std::string Preferences::*field) : prefsText_(field) {}
    constexpr Field(std::uint32_t PageSettings::*field) : pageNumber_(field) {}
    constexpr Field(std::int32_t PageSettings::*field) : pageSigned_(field) {}
    constexpr Field(std::string PageSettings::*field) : pageText_(field) {}

    constexpr bool exists() const {
        return prefsNumber_ || prefsText_ || pageNumber_ || pageSigned_ || pageText_;
    }
    constexpr bool isText() const { return prefsText_ || pageText_; }

    // A number field's 32 bits; a signed field goes in and out as its two's
    // complement, so that any stored value comes back as it was.
    std::uint32_t number(const Preferences& prefs, const PageSettings& page) const;
    void setNumber(Preferences& prefs, PageSettings& page, std::uint32_t value) const;
    // A text field.
    std::string& text(Preferences& prefs, PageSettings& page) const;
    const std::string& text(const Preferences& prefs, const PageSettings& page) const;

private:
    std::uint32_t Preferences::*prefsNumber_ = nullptr;
    std::string Preferences::*prefsText_ = nullptr;
    std::uint32_t PageSettings::*pageNumber_ = nullptr;
    std::int32_t PageSettings::*pageSigned_ = nullptr;
    std::string PageSettings::*pageText_ = nullptr;
};

struct Setting {
    std::string_view name;  // the value's name in the key (the field's name when not stored)
    Type type;
    Stored stored;
    Installer installer;
    std::uint32_t firstNumber;  // a number's first-install value
    FirstText firstText;        // a text's first-install value
    Field field;

    bool isLoaded() const { return stored == Stored::ReadOnly || stored == Stored::ReadWrite; }
    bool isSaved() const { return stored == Stored::ReadWrite; }
};

// Every value, numbers first, then texts. Within each type the rows are in
// the order in which the program saves them and the installer writes them.
std::span<const Setting> schema();

}  // namespace settings
}  // namespace lumigal
