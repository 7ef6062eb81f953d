// Loading and saving the two settings records of the album generation
// under the registry key "Software\Lumigal" of the current user; the records
// and the table of their values are in settings/settings_schema.h.
#pragma once

#include <string>

#include "settings/settings_schema.h"

namespace lumigal {

namespace platform {
class Registry;
}

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
// left to right, going on after a failure. The last level is created only
// when the path ends with a separator. Returns the errno of the first level
// that could not be made (0 when every level is there).
int createPathFolders(const std::string& path);

// The help manual's path in the installation folder.
std::string helpFilePathFor(const std::string& installPath);

}  // namespace lumigal
