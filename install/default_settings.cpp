#include "install/default_settings.h"

#include <cstdint>
#include <optional>

#include "album/settings.h"
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

constexpr const char* kFolders[] = {"pathSave", "pathLaunch", "installPath"};

}  // namespace

void writeDefaultSettings(platform::Registry& registry, std::string_view installFolder) {
    std::optional<platform::RegistryKey> key;
    if (registry.createKey(kSettingsKey, key) != platform::RegStatus::Ok || !key) return;
    for (const DwordValue& number : kNumbers) key->setDword(number.name, number.value);
    for (const char* name : kFolders) key->setString(name, installFolder);
    key->close();
}

}  // namespace lumigal::install
