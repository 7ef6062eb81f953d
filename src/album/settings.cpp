#include "album/settings.h"

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "common/paths.h"
#include "platform/registry.h"

namespace lumigal {

namespace {

using platform::KeyAccess;
using platform::Registry;
using platform::RegistryKey;
using platform::RegStatus;
using settings::Setting;
using settings::Type;

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

// The text as a C string would hold it: up to its first NUL.
std::string_view upToNul(const std::string& text) { return std::string_view(text.c_str()); }

}  // namespace

bool readStoredSettings(Registry& registry, Preferences& prefs, PageSettings& page,
                        std::string* error) {
    std::optional<RegistryKey> key;
    if (registry.openKey(kSettingsKey, KeyAccess::Read, key) != RegStatus::Ok) {
        setError(error, registry.lastError());
        return false;
    }
    // A value that is missing, not 4 bytes long, or longer than a path
    // leaves its field as it was.
    for (const Setting& s : settings::schema()) {
        if (!s.isLoaded()) continue;
        if (s.type == Type::Number) {
            std::uint32_t number = 0;
            if (key->queryDword(s.name, number) == RegStatus::Ok) {
                s.field.setNumber(prefs, page, number);
            }
        } else {
            std::string text;
            if (key->queryString(s.name, text, kMaxPath) == RegStatus::Ok) {
                s.field.text(prefs, page) = std::move(text);
            }
        }
    }
    key->close();
    return true;
}

int LoadSettings(Registry& registry, Preferences& prefs, PageSettings& page,
                 std::string& helpFilePath, std::string* error) {
    if (!readStoredSettings(registry, prefs, page, error)) return 1;
    if (prefs.installPath.empty()) {
        setError(error, "La valeur « installPath » de la clé des paramètres est absente ou vide.");
        return 1;
    }
    createPathFolders(prefs.pathSave + kPathSeparator);
    createPathFolders(prefs.pathThumbnail + kPathSeparator);
    helpFilePath = helpFilePathFor(prefs.installPath);
    return 0;
}

int SaveSettings(Registry& registry, const Preferences& prefs, const PageSettings& page,
                 std::string* error) {
    std::optional<RegistryKey> key;
    if (registry.openKey(kSettingsKey, KeyAccess::AllAccess, key) != RegStatus::Ok) {
        setError(error, registry.lastError());
        return 1;
    }
    // The texts first, then the numbers, each in the table's order.
    for (const Setting& s : settings::schema()) {
        if (s.isSaved() && s.type == Type::Text) {
            key->setString(s.name, upToNul(s.field.text(prefs, page)));
        }
    }
    for (const Setting& s : settings::schema()) {
        if (s.isSaved() && s.type == Type::Number) {
            key->setDword(s.name, s.field.number(prefs, page));
        }
    }
    if (key->close() != RegStatus::Ok) {
        setError(error, key->lastError());
        return 1;
    }
    return 0;
}

int createPathFolders(const std::string& path) {
    int first = 0;
    for (std::size_t at = path.find(kPathSeparator); at != std::string::npos;
         at = path.find(kPathSeparator, at + 1)) {
        if (at == 0) continue;  // the root
        std::error_code failed;  // an existing folder is no failure
        std::filesystem::create_directory(path.substr(0, at), failed);
        // The first level that could not be made says why the others could not.
        // (A file in the way is a level that is no folder.)
        if (failed && first == 0) first = failed.value() == EEXIST ? ENOTDIR : failed.value();
    }
    return first;
}

std::string helpFilePathFor(const std::string& installPath) {
    return installPath + kPathSeparator + "Lumigal.html";
}

}  // namespace lumigal
