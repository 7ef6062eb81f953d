#include "install/default_settings.h"

#include <cstdint>
#include <optional>
#include <string>

#include "common/paths.h"
#include "platform/registry.h"
#include "settings/settings_schema.h"

namespace lumigal::install {

namespace {

using settings::FirstText;
using settings::Installer;
using settings::Setting;
using settings::Type;

// The value that every installation rewrites with its own folder.
constexpr const char* kInstallPath = "installPath";

}  // namespace

void writeDefaultSettings(platform::Registry& registry, std::string_view installFolder,
                          std::string_view workFolder) {
    std::optional<platform::RegistryKey> key;
    if (registry.createKey(kSettingsKey, key) != platform::RegStatus::Ok || !key) return;
    // A value the program can read is the user's and stays; a missing one,
    // or one the program could not read (not four bytes, a text too long),
    // gets its first value. The numbers go first, then the texts.
    for (const Setting& s : settings::schema()) {
        if (s.type != Type::Number || s.installer == Installer::Never) continue;
        std::uint32_t stored = 0;
        if (s.installer == Installer::Always ||
            key->queryDword(s.name, stored) != platform::RegStatus::Ok) {
            key->setDword(s.name, s.firstNumber);
        }
    }
    // A folder that still names the earlier installation folder is the
    // earlier installation's own value, not a choice: it moves with it.
    std::string earlierInstall;
    const bool hadInstall =
        key->queryString(kInstallPath, earlierInstall, kMaxPath) == platform::RegStatus::Ok &&
        !earlierInstall.empty();
    for (const Setting& s : settings::schema()) {
        if (s.type != Type::Text || s.installer == Installer::Never) continue;
        const bool isFolder = s.firstText == FirstText::Folder;
        // The installation's own folder, or a folder the user works in.
        const std::string_view folder = s.installer == Installer::Always ? installFolder : workFolder;
        std::string stored;
        if (s.installer == Installer::Always ||
            key->queryString(s.name, stored, kMaxPath) != platform::RegStatus::Ok ||
            (isFolder && hadInstall && stored == earlierInstall)) {
            key->setString(s.name, isFolder ? folder : std::string_view());
        }
    }
    key->close();
}

}  // namespace lumigal::install
