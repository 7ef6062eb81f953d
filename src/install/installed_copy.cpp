#include "install/installed_copy.h"

#include <sys/stat.h>

#include <optional>

#include "common/paths.h"
#include "install/default_settings.h"
#include "platform/registry.h"
#include "settings/settings_schema.h"

namespace lumigal::install {

namespace {

constexpr std::string_view kManual = "Lumigal.html";

bool isFile(const std::string& path) {
    struct stat info{};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string_view withoutTrailingSeparators(std::string_view folder) {
    while (folder.size() > 1 && folder.back() == kPathSeparator) folder.remove_suffix(1);
    return folder;
}

std::string installedManual(std::string_view programFolder) {
    const std::string data = installedDataFolder(programFolder);
    return data.empty() ? std::string() : data + kPathSeparator + std::string(kManual);
}

}  // namespace

std::string installedDataFolder(std::string_view programFolder) {
    const std::string_view folder = withoutTrailingSeparators(programFolder);
    constexpr std::string_view kBin = "/bin";
    if (!folder.ends_with(kBin)) return {};
    return std::string(folder.substr(0, folder.size() - kBin.size())) + "/share/lumigal";
}

std::string findHelpManual(const std::string& besideProgram, std::string_view programFolder) {
    if (isFile(besideProgram)) return besideProgram;
    const std::string installed = installedManual(programFolder);
    return isFile(installed) ? installed : besideProgram;
}

bool writeFirstSettingsOfInstalledCopy(platform::Registry& registry,
                                       std::string_view programFolder,
                                       std::string_view workFolder) {
    if (!isFile(installedManual(programFolder))) return false;
    std::optional<platform::RegistryKey> key;
    if (registry.openKey(kSettingsKey, platform::KeyAccess::Read, key) !=
        platform::RegStatus::NotFound) {
        return false;
    }
    // The two folders a user works in are set first, so that the
    // installer's rows keep them; every other value is the installer's.
    bool created = false;
    if (registry.createKey(kSettingsKey, key, &created) != platform::RegStatus::Ok || !created) {
        return false;
    }
    const std::string home(withoutTrailingSeparators(workFolder));
    for (const settings::Setting& s : settings::schema()) {
        if (s.firstText == settings::FirstText::Folder &&
            s.installer == settings::Installer::IfMissing) {
            key->setString(s.name, home);
        }
    }
    if (key->close() != platform::RegStatus::Ok) return false;
    writeDefaultSettings(registry, withoutTrailingSeparators(programFolder), home);
    return true;
}

}  // namespace lumigal::install
