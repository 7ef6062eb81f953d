#include "install/default_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "album/settings.h"
#include "platform/registry.h"
#include "sandbox.h"

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

class DefaultSettingsTest : public ::testing::Test {
protected:
    std::optional<RegistryKey> openKey() {
        std::optional<RegistryKey> key;
        EXPECT_EQ(registry.openKey(kSettingsKey, platform::KeyAccess::Read, key), RegStatus::Ok);
        return key;
    }
    void expectTheSeventeenValues(const RegistryKey& key, const std::string& folder) {
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
                EXPECT_EQ(std::string(stored.data.begin(), stored.data.end()), folder);
            }
        }
    }

    test::Sandbox sandbox;
    platform::Registry registry{sandbox.path("home/.config/lumigal")};
};

TEST_F(DefaultSettingsTest, WritesTheSeventeenValuesInTheirOrder) {
    const std::string folder = "/home/ana/.local/opt/Lumigal d'été";
    writeDefaultSettings(registry, folder);
    std::optional<RegistryKey> key = openKey();
    ASSERT_TRUE(key.has_value());
    expectTheSeventeenValues(*key, folder);

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

TEST_F(DefaultSettingsTest, AReinstallationResetsOnlyItsOwnValues) {
    {
        std::optional<RegistryKey> key;
        ASSERT_EQ(registry.createKey(kSettingsKey, key), RegStatus::Ok);
        key->setDword("width", 300);
        key->setDword("bip", 1);
        key->setDword("table_border", 4);
        key->setDword("position", 2);
        key->setString("pathThumbnail", "/home/ana/vignettes");
        key->setString("installPath", "/old/place");
        ASSERT_EQ(key->close(), RegStatus::Ok);
    }
    writeDefaultSettings(registry, "/new/place");
    std::optional<RegistryKey> key = openKey();
    ASSERT_TRUE(key.has_value());
    expectTheSeventeenValues(*key, "/new/place");
    std::uint32_t number = 0;
    EXPECT_EQ(key->queryDword("table_border", number), RegStatus::Ok);
    EXPECT_EQ(number, 4u);
    EXPECT_EQ(key->queryDword("position", number), RegStatus::Ok);
    EXPECT_EQ(number, 2u);
    std::string text;
    EXPECT_EQ(key->queryString("pathThumbnail", text), RegStatus::Ok);
    EXPECT_EQ(text, "/home/ana/vignettes");
    EXPECT_EQ(key->valueNames().size(), 17u + 3u);
}

TEST_F(DefaultSettingsTest, ADamagedKeyIsLeftAsItIs) {
    writeDefaultSettings(registry, "/x");
    const std::string file = registry.keyFile(kSettingsKey)->string();
    test::writeFile(file, "not a key file at all\n");
    writeDefaultSettings(registry, "/y");
    EXPECT_EQ(test::readFile(file), "not a key file at all\n");
}

}  // namespace
}  // namespace lumigal::install
