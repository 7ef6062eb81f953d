#include "install/default_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "album/settings.h"
#include "batch/batch_options.h"
#include "platform/registry.h"
#include "test_support/sandbox.h"

namespace lumigal::install {
namespace {

using platform::RegistryKey;
using platform::RegStatus;
using platform::RegValue;

struct Expected {
    const char* name;
    std::uint32_t type;
    std::optional<std::uint32_t> number;  // nothing: the install folder
};

const std::vector<Expected> kExpected = {
    {"ajust", platform::REG_DWORD, 0},
    {"bip", platform::REG_DWORD, 0},
    {"center", platform::REG_DWORD, 0},
    {"details", platform::REG_DWORD, 1},
    {"height", platform::REG_DWORD, 75},
    {"formatIn", platform::REG_DWORD, 3},
    {"formatOut", platform::REG_DWORD, 3},
    {"launch", platform::REG_DWORD, 1},
    {"line", platform::REG_DWORD, 0},
    {"nbThumbByLine", platform::REG_DWORD, 10},
    {"onlyIfSuitable", platform::REG_DWORD, 0},
    {"thumbnail", platform::REG_DWORD, 0},
    {"tri", platform::REG_DWORD, 0},
    {"width", platform::REG_DWORD, 75},
    {"pathSave", platform::REG_SZ, std::nullopt},
    {"pathLaunch", platform::REG_SZ, std::nullopt},
    {"installPath", platform::REG_SZ, std::nullopt},
};

RegValue dword(std::uint32_t n) {
    return {platform::REG_DWORD,
            {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
             static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}};
}

RegValue text(const std::string& s) { return {platform::REG_SZ, {s.begin(), s.end()}}; }

class DefaultSettingsTest : public ::testing::Test {
protected:
    std::optional<RegistryKey> openKey() {
        std::optional<RegistryKey> key;
        EXPECT_EQ(registry.openKey(kSettingsKey, platform::KeyAccess::Read, key), RegStatus::Ok);
        return key;
    }
    void expectTheSeventeenValues(const RegistryKey& key, const std::string& installFolder,
                                  const std::string& workFolder) {
        for (const Expected& value : kExpected) {
            SCOPED_TRACE(value.name);
            RegValue stored;
            ASSERT_EQ(key.queryValue(value.name, stored), RegStatus::Ok);
            EXPECT_EQ(stored.type, value.type);
            if (value.number) {
                const std::uint32_t n = *value.number;
                EXPECT_EQ(
                    stored.data,
                    (std::vector<std::uint8_t>{
                        static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                        static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}));
            } else {
                // The characters only, without a terminating zero byte.
                EXPECT_EQ(std::string(stored.data.begin(), stored.data.end()),
                          value.name == std::string("installPath") ? installFolder : workFolder);
            }
        }
    }

    test::Sandbox sandbox;
    platform::Registry registry{sandbox.path("home/.config/lumigal")};
};

TEST_F(DefaultSettingsTest, WritesTheSeventeenValuesInTheirOrder) {
    const std::string folder = "/home/ana/.local/opt/Lumigal d'été";
    writeDefaultSettings(registry, folder, "/home/ana/Images d'été");
    std::optional<RegistryKey> key = openKey();
    ASSERT_TRUE(key.has_value());
    expectTheSeventeenValues(*key, folder, "/home/ana/Images d'été");

    std::vector<std::string> names;
    for (const Expected& value : kExpected) names.emplace_back(value.name);
    EXPECT_EQ(key->valueNames(), names);
    // The stored file lists them in the same order.
    const std::string file = test::readFile(registry.keyFile(kSettingsKey)->string());
    std::size_t last = 0;
    for (const std::string& name : names) {
        const std::size_t at = file.find("\"" + name + "\"=");
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_GT(at, last) << name;
        last = at;
    }
}

// lumigal-batch reads the stored values over its defaults: after a first
// installation it must start from the values it has without one.
TEST_F(DefaultSettingsTest, TheFirstValuesLoadAsTheBatchDefaults) {
    writeDefaultSettings(registry, "/opt/Lumigal", "/home/ana/Images");
    Preferences defaults;
    PageSettings defaultPage;
    batch::defaultSettings(defaults, defaultPage);
    Preferences prefs = defaults;
    PageSettings page = defaultPage;
    ASSERT_TRUE(readStoredSettings(registry, prefs, page));
    Preferences expected = defaults;
    expected.installPath = "/opt/Lumigal";
    expected.pathSave = expected.pathLaunch = "/home/ana/Images";
    EXPECT_EQ(prefs, expected);
    EXPECT_EQ(page, defaultPage);
}

// What a reinstallation to "/new/place" finds stored, and which of the
// seventeen values must then differ from a first installation's.
TEST_F(DefaultSettingsTest, AReinstallationKeepsWhatTheUserHas) {
    const RegValue twoBytes{platform::REG_BINARY, {0x99, 0}};
    const struct {
        const char* label;
        std::vector<std::pair<std::string, RegValue>> stored;
        std::map<std::string, RegValue> kept;  // the rest: first values
    } cases[] = {
        {"a stored width survives, the missing values are written",
         {{"width", dword(0x99)}},
         {{"width", dword(0x99)}}},
        {"every number the user has survives",
         {{"bip", dword(1)}, {"launch", dword(0)}, {"tri", dword(1)}, {"height", dword(200)},
          {"nbThumbByLine", dword(3)}, {"details", dword(0)}, {"thumbnail", dword(1)}},
         {{"bip", dword(1)}, {"launch", dword(0)}, {"tri", dword(1)}, {"height", dword(200)},
          {"nbThumbByLine", dword(3)}, {"details", dword(0)}, {"thumbnail", dword(1)}}},
        {"chosen folders stay, even empty; the installation folder is the new one",
         {{"pathSave", text("/home/ana/albums")}, {"pathLaunch", text("")},
          {"installPath", text("/old/place")}},
         {{"pathSave", text("/home/ana/albums")}, {"pathLaunch", text("")}}},
        {"folders still naming the earlier installation go to the work folder",
         {{"pathSave", text("/old/place")}, {"pathLaunch", text("/home/ana/photos")},
          {"installPath", text("/old/place")}},
         {{"pathLaunch", text("/home/ana/photos")}}},
        {"a number the program cannot read gets its first value",
         {{"height", twoBytes}, {"width", dword(0x99)}},
         {{"width", dword(0x99)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        registry.deleteKey(kSettingsKey);
        {
            std::optional<RegistryKey> key;
            ASSERT_EQ(registry.createKey(kSettingsKey, key), RegStatus::Ok);
            for (const auto& [name, value] : c.stored) key->setValue(name, value);
            key->setDword("table_border", 4);  // not the installation's: never touched
            key->setString("pathThumbnail", "/home/ana/vignettes");
            ASSERT_EQ(key->close(), RegStatus::Ok);
        }
        writeDefaultSettings(registry, "/new/place", "/home/ana/Images");
        std::optional<RegistryKey> key = openKey();
        ASSERT_TRUE(key.has_value());
        for (const Expected& value : kExpected) {
            SCOPED_TRACE(value.name);
            const auto kept = c.kept.find(value.name);
            const RegValue want = kept != c.kept.end()                    ? kept->second
                                  : value.number                          ? dword(*value.number)
                                  : value.name == std::string("installPath") ? text("/new/place")
                                                                          : text("/home/ana/Images");
            RegValue got;
            ASSERT_EQ(key->queryValue(value.name, got), RegStatus::Ok);
            EXPECT_EQ(got, want);
        }
        RegValue got;
        EXPECT_EQ(key->queryValue("table_border", got), RegStatus::Ok);
        EXPECT_EQ(got, dword(4));
        EXPECT_EQ(key->queryValue("pathThumbnail", got), RegStatus::Ok);
        EXPECT_EQ(got, text("/home/ana/vignettes"));
        EXPECT_EQ(key->valueNames().size(), 17u + 2u);
    }
}

TEST_F(DefaultSettingsTest, ADamagedKeyIsLeftAsItIs) {
    writeDefaultSettings(registry, "/x", "/x");
    const std::string file = registry.keyFile(kSettingsKey)->string();
    test::writeFile(file, "not a key file at all\n");
    writeDefaultSettings(registry, "/y", "/y");
    EXPECT_EQ(test::readFile(file), "not a key file at all\n");
}

}  // namespace
}  // namespace lumigal::install
