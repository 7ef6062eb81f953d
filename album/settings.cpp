#include "album/settings.h"

#include <array>
#include <filesystem>
#include <optional>
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

// One 32-bit field of the records, signed or unsigned.
class DwordField {
public:
    DwordField(std::uint32_t& field) : unsigned_(&field) {}
    DwordField(std::int32_t& field) : signed_(&field) {}

    std::uint32_t get() const {
        return unsigned_ ? *unsigned_ : static_cast<std::uint32_t>(*signed_);
    }
    void set(std::uint32_t value) const {
        if (unsigned_) {
            *unsigned_ = value;
        } else {
            *signed_ = static_cast<std::int32_t>(value);
        }
    }

private:
    std::uint32_t* unsigned_ = nullptr;
    std::int32_t* signed_ = nullptr;
};

constexpr std::size_t kDwordCount = 19;

// The stored numbers in the order in which they are read.
constexpr std::array<std::string_view, kDwordCount> kLoadOrder = {
    "bip",
    "center",
    "details",
    "height",
    "keepSameFormat",
    "launch",
    "line",
    "nbThumbByLine",
    "newFormat",
    "onlyIfSuitable",
    "position",
    "thumbnail",
    "tri",
    "width",
    "table_border",
    "table_cellspace",
    "table_cellpadding",
    "table_bordercolordark",
    "table_bordercolor",
};

// The same numbers in the order in which they are written.
constexpr std::array<std::string_view, kDwordCount> kSaveOrder = {
    "bip",
    "center",
    "details",
    "keepSameFormat",
    "height",
    "launch",
    "line",
    "nbThumbByLine",
    "newFormat",
    "onlyIfSuitable",
    "position",
    "thumbnail",
    "tri",
    "width",
    "table_cellspace",
    "table_border",
    "table_cellpadding",
    "table_bordercolordark",
    "table_bordercolor",
};

std::optional<DwordField> dwordField(std::string_view name, Preferences& prefs,
                                     PageSettings& page) {
    if (name == "bip") return DwordField(prefs.bip);
    if (name == "launch") return DwordField(prefs.launch);
    if (name == "center") return DwordField(page.center);
    if (name == "details") return DwordField(page.details);
    if (name == "height") return DwordField(page.height);
    if (name == "keepSameFormat") return DwordField(page.keepSameFormat);
    if (name == "line") return DwordField(page.line);
    if (name == "nbThumbByLine") return DwordField(page.nbThumbByLine);
    if (name == "newFormat") return DwordField(page.newFormat);
    if (name == "onlyIfSuitable") return DwordField(page.onlyIfSuitable);
    if (name == "position") return DwordField(page.position);
    if (name == "thumbnail") return DwordField(page.thumbnail);
    if (name == "tri") return DwordField(page.tri);
    if (name == "width") return DwordField(page.width);
    if (name == "table_border") return DwordField(page.table_border);
    if (name == "table_cellspace") return DwordField(page.table_cellspace);
    if (name == "table_cellpadding") return DwordField(page.table_cellpadding);
    if (name == "table_bordercolordark") return DwordField(page.table_bordercolordark);
    if (name == "table_bordercolor") return DwordField(page.table_bordercolor);
    return std::nullopt;
}

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
    for (std::string_view name : kLoadOrder) {
        std::uint32_t number = 0;
        if (key->queryDword(name, number) == RegStatus::Ok) {
            dwordField(name, prefs, page)->set(number);
        }
    }
    const std::array<std::pair<std::string_view, std::string*>, 4> texts = {{
        {"installPath", &prefs.installPath},
        {"pathSave", &prefs.pathSave},
        {"pathLaunch", &prefs.pathLaunch},
        {"pathThumbnail", &prefs.pathThumbnail},
    }};
    for (const auto& [name, field] : texts) {
        std::string text;
        if (key->queryString(name, text, kMaxPath) == RegStatus::Ok) *field = std::move(text);
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
    key->setString("pathSave", upToNul(prefs.pathSave));
    key->setString("pathLaunch", upToNul(prefs.pathLaunch));
    key->setString("pathThumbnail", upToNul(prefs.pathThumbnail));
    // The fields are only read; copies give the table mutable references.
    Preferences prefsCopy = prefs;
    PageSettings pageCopy = page;
    for (std::string_view name : kSaveOrder) {
        key->setDword(name, dwordField(name, prefsCopy, pageCopy)->get());
    }
    if (key->close() != RegStatus::Ok) {
        setError(error, key->lastError());
        return 1;
    }
    return 0;
}

void createPathFolders(const std::string& path) {
    for (std::size_t at = path.find(kPathSeparator); at != std::string::npos;
         at = path.find(kPathSeparator, at + 1)) {
        std::error_code ignored;  // an existing or impossible level is not an error
        std::filesystem::create_directory(path.substr(0, at), ignored);
    }
}

std::string helpFilePathFor(const std::string& installPath) {
#ifdef _WIN32
    return installPath + kPathSeparator + "Lumigal.hlp";
#else
    return installPath + kPathSeparator + "Lumigal.html";
#endif
}

void initialSettings(Preferences& prefs, PageSettings& page, const std::string& installFolder) {
    prefs = Preferences{};
    page = PageSettings{};
    prefs.installPath = installFolder;
    prefs.pathSave = installFolder;
    prefs.pathLaunch = installFolder;
    prefs.bip = 0;
    prefs.launch = 1;
    page.center = 0;
    page.details = 1;
    page.height = 75;
    page.line = 0;
    page.nbThumbByLine = 10;
    page.onlyIfSuitable = 0;
    page.thumbnail = 0;
    page.tri = 0;
    page.width = 75;
}

}  // namespace lumigal
