// The two settings records of the album generation and their store under
// the registry key "Software\Lumigal" of the current user.
#pragma once

#include <cstdint>
#include <string>

#include "common/colour.h"

namespace lumigal {

namespace platform {
class Registry;
}

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
    bool operator==(const PageSettings&) const = default;
};

// Reads every stored value present in the key into the records (fields of
// missing values are left as they are) without any other effect. Returns
// false with `error` set when the key is missing, unreadable or damaged.
bool readStoredSettings(platform::Registry& registry, Preferences& prefs, PageSettings& page,
                        std::string* error = nullptr);

// Loads the settings at start-up: 0 when loaded (then creates the pathSave
// and pathThumbnail folders and sets `helpFilePath`), 1 when the program is
// not correctly installed (key missing, unreadable or damaged, or installPath
// empty); `error` then says why.
int LoadSettings(platform::Registry& registry, Preferences& prefs, PageSettings& page,
                 std::string& helpFilePath, std::string* error = nullptr);

// Writes the stored values back into the existing key: 0 when written, 1 when
// the key could not be opened or written (`error` says why).
int SaveSettings(platform::Registry& registry, const Preferences& prefs,
                 const PageSettings& page, std::string* error = nullptr);

// Creates every folder level of `path` that stands before a separator, from
// left to right; failures are ignored. The last level is created only when
// the path ends with a separator.
void createPathFolders(const std::string& path);

// The help manual's path in the installation folder.
std::string helpFilePathFor(const std::string& installPath);

// The values the installer writes on a first installation (details on,
// 75 x 75 thumbnails, 10 per row, open the page after generation), with
// the given folder for pathSave, pathLaunch and installPath.
void initialSettings(Preferences& prefs, PageSettings& page, const std::string& installFolder);

}  // namespace lumigal
