#include "install/default_settings.h"

#include <cstdint>
#include <optional>
#include <string>

#include "album/settings.h"
#include "common/paths.h"
#include "platform/registry.h"

namespace lumigal::install {

namespace {

struct DwordValue {
    const char* name;
    std::uint32_t value;
};

constexpr DwordValue kNumbers[] = {
    {"ajust", 0},          {"bip", 0},       {"center", 0}, {"details", 1}, {"height", 75},
    {"formatIn", 3},       {"formatOut", 3}, {"launch", 1}, {"line", 0},    {"nbThumbByLine", 10},
    {"onlyIfSuitable", 0}, {"thumbnail", 0}, {"tri", 0},    {"width", 75},
};

// The two folders the user may choose in the preferences; the installation
// folder itself is always the one just installed.
constexpr const char* kUserFolders[] = {"pathSave", "pathLaunch"};
constexpr const char* kInstallPath = "installPath";

}  // namespace

void writeDefaultSettings(platform::Registry& registry, std::string_view installFolder) {
    std::optional<platform::RegistryKey> key;
    if (registry.createKey(kSettingsKey, key) != platform::RegStatus::Ok || !key) return;
    // A value the program can read is the user's and stays; a missing one,
    // or one the program could not read (not four bytes, a text too long),
    // gets its first value.
    for (const DwordValue& number : kNumbers) {
        std::uint32_t stored = 0;
        if (key->queryDword(number.name, stored) != platform::RegStatus::Ok) {
            key->setDword(number.name, number.value);
        }
    }
    // A folder that still names the earlier installation folder is the
    // earlier installation's own value, not a choice: it moves with it.
    std::string earlierInstall;
    const bool hadInstall =
        key->queryString(kInstallPath, earlierInstall, kMaxPath) == platform::RegStatus::Ok &&
        !earlierInstall.empty();
    for (const char* name : kUserFolders) {
        std::string stored;
        if (key->queryString(name, stored, kMaxPath) != platform::RegStatus::Ok ||
            (hadInstall && stored == earlierInstall)) {
            key->setString(name, installFolder);
        }
    }
    // The program finds its manual there: it must name the new folder.
    key->setString(kInstallPath, installFolder);
    key->close();
}

}  // namespace lumigal::install
