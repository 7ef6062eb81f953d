#include "album/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/paths.h"
#include "platform/reg_file.h"
#include "platform/registry.h"
#include "test_support/test_files.h"

namespace lumigal {
namespace {

namespace fs = std::filesystem;
using platform::KeyAccess;
using platform::Registry;
using platform::RegistryKey;
using platform::RegStatus;
using platform::RegValue;

// The numbers the program stores, from the settings table; their number
// and order are checked against literals below.
std::vector<std::string> storedNumberNames() {
    std::vector<std::string> names;
    for (const settings::Setting& s : settings::schema()) {
        if (s.isSaved() && s.type == settings::Type::Number) names.emplace_back(s.name);
    }
    return names;
}

using lumigal::test::readFile;

class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("LUMIGAL_TEST_TMP");
        const fs::path root = (base && *base) ? fs::path(base) : fs::path(testing::TempDir());
        fs::create_directories(root);
        std::string pattern = (root / "settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        scratch_ = pattern;
        registry_ = Registry(scratch_ / "store");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
    }

    fs::path keyPath() const { return scratch_ / "store" / "Software" / "Lumigal.reg"; }

    // What the installer writes on a first installation: its rows of the
    // table, numbers then texts (checked value by value in the installer's tests).
    void install(const std::string& folder) {
        std::optional<RegistryKey> key;
        ASSERT_EQ(registry_.createKey(kSettingsKey, key), RegStatus::Ok) << registry_.lastError();
        for (const settings::Setting& s : settings::schema()) {
            if (s.installer == settings::Installer::Never) continue;
            if (s.type == settings::Type::Number) {
                key->setDword(s.name, s.firstNumber);
            } else {
                key->setString(s.name, folder);
            }
        }
        ASSERT_EQ(key->close(), RegStatus::Ok) << key->lastError();
    }

    void setValue(std::string_view name, const RegValue& value) {
        std::optional<RegistryKey> key;
        ASSERT_EQ(registry_.openKey(kSettingsKey, KeyAccess::AllAccess, key), RegStatus::Ok);
        ASSERT_EQ(key->setValue(name, value), RegStatus::Ok);
        ASSERT_EQ(key->close(), RegStatus::Ok);
    }

    std::vector<std::pair<std::string, RegValue>> storedValues() {
        const auto parsed = platform::parseRegFile(readFile(keyPath()));
        EXPECT_TRUE(parsed.ok) << parsed.error;
        return parsed.key.values;
    }

    const RegValue* stored(const std::vector<std::pair<std::string, RegValue>>& values,
                           std::string_view name) {
        for (const auto& [n, v] : values) {
            if (n == name) return &v;
        }
        return nullptr;
    }

    fs::path scratch_;
    Registry registry_{fs::path()};  // set up on the scratch folder
};

TEST_F(SettingsTest, AMissingKeyMeansNotInstalledAndCreatesNothing) {
    Preferences prefs;
    PageSettings page;
    std::string help;
    std::string error;
    EXPECT_EQ(LoadSettings(registry_, prefs, page, help, &error), 1);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(help.empty());
    EXPECT_EQ(SaveSettings(registry_, prefs, page, &error), 1);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(scratch_ / "store"));  // saving never creates the key
}

TEST_F(SettingsTest, AnEmptyInstallPathMeansNotInstalled) {
    install("");
    Preferences prefs;
    PageSettings page;
    prefs.pathSave = (scratch_ / "should-not-exist").string();
    std::string help;
    std::string error;
    EXPECT_EQ(LoadSettings(registry_, prefs, page, help, &error), 1);
    EXPECT_NE(error.find("installPath"), std::string::npos) << error;
    EXPECT_TRUE(help.empty());
    EXPECT_FALSE(fs::exists(scratch_ / "should-not-exist"));
}

TEST_F(SettingsTest, FirstRunAfterInstallThenSaveWritesEveryValue) {
    const std::string folder = (scratch_ / "Apps" / "Lumigal").string();
    install(folder);

    Preferences prefs;
    PageSettings page;
    std::string help;
    std::string error;
    ASSERT_EQ(LoadSettings(registry_, prefs, page, help, &error), 0) << error;
    Preferences expectedPrefs;
    PageSettings expectedPage;
    initialSettings(expectedPrefs, expectedPage, folder);
    EXPECT_EQ(prefs, expectedPrefs);
    EXPECT_EQ(page, expectedPage);
    EXPECT_EQ(help, folder + "/Lumigal.html");
    EXPECT_TRUE(fs::is_directory(folder));  // pathSave, made with its parents

    ASSERT_EQ(SaveSettings(registry_, prefs, page, &error), 0) << error;
    const auto values = storedValues();
    for (const std::string& name : storedNumberNames()) {
        const RegValue* value = stored(values, name);
        ASSERT_NE(value, nullptr) << name;
        EXPECT_EQ(value->type, platform::REG_DWORD) << name;
        EXPECT_EQ(value->data.size(), 4u) << name;
    }
    for (const char* name : {"pathSave", "pathLaunch", "installPath"}) {
        const RegValue* value = stored(values, name);
        ASSERT_NE(value, nullptr) << name;
        EXPECT_EQ(value->type, platform::REG_SZ);
        EXPECT_EQ(std::string(value->data.begin(), value->data.end()), folder) << name;
    }
    const RegValue* thumbnails = stored(values, "pathThumbnail");
    ASSERT_NE(thumbnails, nullptr);
    EXPECT_TRUE(thumbnails->data.empty());
    // The installer's own values stay; nothing else is added.
    for (const char* name : {"ajust", "formatIn", "formatOut"}) {
        EXPECT_NE(stored(values, name), nullptr) << name;
    }
    // The page style's values are never written by the installer: a key
    // without them loads the classic page, exact thumbnails, no copies.
    EXPECT_EQ(page.style, kStyleClassic);
    EXPECT_FALSE(keepsProportions(page));
    EXPECT_EQ(page.portable, 0u);
    // Nor the modern page's thumbnails: JPEG of 280 x 280 until chosen.
    EXPECT_EQ(thumbnailFormat(page, kStyleModern), (ThumbnailFormat{false, kJpegThumbnailFormat}));
    EXPECT_EQ(thumbnailSize(page, kStyleModern), (StyleThumbnailSize{280, 280}));
    EXPECT_EQ(thumbnailSize(page, kStyleClassic), (StyleThumbnailSize{75, 75}));
    EXPECT_EQ(page.gallery, 0u);
    EXPECT_EQ(page.sortOrder, kSortOfTri);
    EXPECT_EQ(page.perPage, kPerPageOfStyle);
    EXPECT_EQ(values.size(), 23u + 4u + 3u + 4u + 4u);  // and the gallery's four
}

TEST_F(SettingsTest, EveryStoredFieldRoundTripsAndTheOthersAreNeverStored) {
    install((scratch_ / "inst").string());
    Preferences prefs;
    PageSettings page;
    prefs.installPath = "/ignored/by/save";
    prefs.pathLaunch = (scratch_ / "launch \"é\" \\ dir").string();
    prefs.pathSave = (scratch_ / "save").string();
    prefs.pathThumbnail = (scratch_ / "thumbs" / "small").string();
    prefs.bip = 1;
    prefs.launch = 0;
    page.pageTitle = "Titre";
    page.pageFolder = "/pages";
    page.pagePath = "/pages/LUM000.htm";
    page.page_textcolor = 0x112233;
    page.page_infocolor = 0x445566;
    page.page_bgcolor = 0xFFFFFF;
    page.details = 1;
    page.position = -3;  // any 32-bit value comes back as it was
    page.center = 2;
    page.line = 3;
    page.tri = 4;
    page.thumbnail = 5;
    page.height = 600;
    page.width = 0xFFFFFFFF;
    page.onlyIfSuitable = 7;
    page.nbThumbByLine = 8;
    page.keepSameFormat = 9;
    page.newFormat = 3;
    page.table_border = 10;
    page.table_bordercolor = 0x00C0FFEE;
    page.table_bordercolordark = 0x00010203;
    page.table_cellspace = 11;
    page.table_cellpadding = 12;
    std::string error;
    ASSERT_EQ(SaveSettings(registry_, prefs, page, &error), 0) << error;

    const auto values = storedValues();
    for (const char* name : {"pageTitle", "pageFolder", "pagePath", "page_textcolor",
                             "page_infocolor", "page_bgcolor"}) {
        EXPECT_EQ(stored(values, name), nullptr) << name;
    }
    EXPECT_EQ(std::string(stored(values, "installPath")->data.begin(),
                          stored(values, "installPath")->data.end()),
              (scratch_ / "inst").string());
    EXPECT_EQ(stored(values, "table_bordercolor")->data,
              (std::vector<std::uint8_t>{0xEE, 0xFF, 0xC0, 0x00}));  // red in the low byte

    Preferences loadedPrefs;
    PageSettings loadedPage;
    loadedPage.pageTitle = "kept";
    loadedPage.page_bgcolor = 0x123456;
    std::string help;
    ASSERT_EQ(LoadSettings(registry_, loadedPrefs, loadedPage, help, &error), 0) << error;
    Preferences expectedPrefs = prefs;
    expectedPrefs.installPath = (scratch_ / "inst").string();
    PageSettings expectedPage = page;
    expectedPage.pageTitle = "kept";
    expectedPage.pageFolder.clear();
    expectedPage.pagePath.clear();
    expectedPage.page_textcolor = 0;
    expectedPage.page_infocolor = 0;
    expectedPage.page_bgcolor = 0x123456;
    EXPECT_EQ(loadedPrefs, expectedPrefs);
    EXPECT_EQ(loadedPage, expectedPage);
    EXPECT_TRUE(fs::is_directory(scratch_ / "thumbs" / "small"));
    EXPECT_TRUE(fs::is_directory(scratch_ / "save"));
}

TEST_F(SettingsTest, SaveWritesTheValuesInItsOrderAndStringsWithoutNul) {
    {
        std::optional<RegistryKey> key;
        ASSERT_EQ(registry_.createKey(kSettingsKey, key), RegStatus::Ok);
    }
    Preferences prefs;
    PageSettings page;
    prefs.pathSave = std::string("/albums\0tail", 12);  // a C string ends at its NUL
    prefs.pathLaunch = "/launch";
    ASSERT_EQ(SaveSettings(registry_, prefs, page), 0);
    std::vector<std::string> names;
    const auto values = storedValues();
    for (const auto& [name, value] : values) names.push_back(name);
    const std::vector<std::string> expected = {"pathSave",
                                               "pathLaunch",
                                               "pathThumbnail",
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
                                               "style",
                                               "keepProportions",
                                               "portable",
                                               "webSize",
                                               "keepLocation",
                                               "modernFormat",
                                               "modernWidth",
                                               "modernHeight",
                                               "gallery",
                                               "sortOrder",
                                               "reverseOrder",
                                               "perPage"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(stored(values, "pathSave")->data,
              (std::vector<std::uint8_t>{'/', 'a', 'l', 'b', 'u', 'm', 's'}));
    EXPECT_EQ(stored(values, "pathLaunch")->data.size(), 7u);
}

// Values written by hand or by other programs: a number is any 4 bytes, a
// text ends at its first NUL and may not be longer than a path.
TEST_F(SettingsTest, OddStoredValuesAreReadOrLeftAlone) {
    install((scratch_ / "inst").string());
    struct Case {
        const char* name;
        RegValue value;
    };
    const std::vector<Case> cases = {
        {"width", {platform::REG_BINARY, {0x10, 0x27, 0, 0}}},               // 4 bytes of any type
        {"height", {platform::REG_DWORD, {1, 2}}},                           // too short: unchanged
        {"nbThumbByLine", {platform::REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}},  // too long
        {"pathSave", {platform::REG_SZ, {'/', 'a', 0}}},                     // with its NUL
        {"pathLaunch", {platform::REG_SZ, {'/', 'b', 0, 'x'}}},              // ends at the NUL
        {"pathThumbnail",
         {platform::REG_SZ, std::vector<std::uint8_t>(kMaxPath + 1, 'p')}},  // too long
        {"installPath", {platform::REG_SZ, std::vector<std::uint8_t>(kMaxPath, 'i')}},
    };
    for (const Case& c : cases) setValue(c.name, c.value);

    Preferences prefs;
    PageSettings page;
    page.height = 31;
    page.nbThumbByLine = 32;
    prefs.pathThumbnail = "before";
    ASSERT_TRUE(readStoredSettings(registry_, prefs, page));
    EXPECT_EQ(page.width, 10000u);
    EXPECT_EQ(page.height, 31u);
    EXPECT_EQ(page.nbThumbByLine, 32u);
    EXPECT_EQ(prefs.pathSave, "/a");
    EXPECT_EQ(prefs.pathLaunch, "/b");
    EXPECT_EQ(prefs.pathThumbnail, "before");
    EXPECT_EQ(prefs.installPath, std::string(kMaxPath, 'i'));
    EXPECT_EQ(page.details, 1u);  // the installer's values are read too
}

TEST_F(SettingsTest, ADamagedKeyIsReportedAndNeverOverwritten) {
    install((scratch_ / "inst").string());
    const std::string damaged = readFile(keyPath()) + "\"width\"=dword:zz\n";
    {
        std::ofstream out(keyPath(), std::ios::binary | std::ios::trunc);
        out << damaged;
    }
    Preferences prefs;
    PageSettings page;
    std::string help;
    std::string error;
    EXPECT_EQ(LoadSettings(registry_, prefs, page, help, &error), 1);
    EXPECT_NE(error.find(keyPath().string()), std::string::npos) << error;
    EXPECT_NE(error.find("ligne"), std::string::npos) << error;
    EXPECT_EQ(prefs, Preferences{});
    EXPECT_TRUE(help.empty());

    error.clear();
    prefs.pathSave = "/new";
    EXPECT_EQ(SaveSettings(registry_, prefs, page, &error), 1);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readFile(keyPath()), damaged);
}

TEST_F(SettingsTest, PathFoldersAreCreatedLevelByLevel) {
    struct Case {
        std::string path;
        std::vector<std::string> made;     // relative to scratch
        std::vector<std::string> notMade;  // relative to scratch
        int err;                           // what it returns
    };
    const std::string top = scratch_.string();
    const std::vector<Case> cases = {
        {top + "/a/b/c/", {"a", "a/b", "a/b/c"}, {}, 0},
        {top + "/d/e/f", {"d", "d/e"}, {"d/e/f"}, 0},  // the last level needs a separator after it
        {top + "/a/b/c/", {"a/b/c"}, {}, 0},           // existing levels are fine
        {top + "//g///h/", {"g", "g/h"}, {}, 0},
        {top + "/file.txt/x/", {}, {"file.txt/x"}, ENOTDIR},  // a file in the way
        {"", {}, {}, 0},
        {"/", {}, {}, 0},  // the root exists
    };
    std::ofstream(scratch_ / "file.txt") << "x";
    for (const Case& c : cases) {
        EXPECT_EQ(createPathFolders(c.path), c.err) << c.path;
        for (const auto& made : c.made) EXPECT_TRUE(fs::is_directory(scratch_ / made)) << c.path;
        for (const auto& notMade : c.notMade)
            EXPECT_FALSE(fs::exists(scratch_ / notMade)) << c.path;
    }
    EXPECT_TRUE(fs::is_regular_file(scratch_ / "file.txt"));
}

TEST(SettingsHelpers, HelpManualLiesInTheInstallFolder) {
    EXPECT_EQ(helpFilePathFor("/opt/Lumigal"), "/opt/Lumigal/Lumigal.html");
    EXPECT_EQ(helpFilePathFor("/home/ana/Mes applis/Album"),
              "/home/ana/Mes applis/Album/Lumigal.html");
}

TEST(SettingsHelpers, InitialSettingsAreTheInstallersValues) {
    Preferences prefs;
    PageSettings page;
    prefs.pathThumbnail = "/old";
    page.position = 4;
    page.page_bgcolor = 0xFFFFFF;
    initialSettings(prefs, page, "/opt/Lumigal");
    Preferences expectedPrefs;
    expectedPrefs.installPath = expectedPrefs.pathSave = expectedPrefs.pathLaunch = "/opt/Lumigal";
    expectedPrefs.launch = 1;
    PageSettings expectedPage;
    expectedPage.details = 1;
    expectedPage.height = 75;
    expectedPage.width = 75;
    expectedPage.nbThumbByLine = 10;
    EXPECT_EQ(prefs, expectedPrefs);
    EXPECT_EQ(page, expectedPage);
}


// The classic page keeps the stored format; the modern page takes JPEG until
// a format is chosen for it, and a choice for one style leaves the other's.
TEST(ThumbnailFormat, EachStyleHasItsOwnChoice) {
    struct Case {
        const char* what;
        std::uint32_t keepSameFormat;
        std::int32_t newFormat;
        std::uint32_t modernFormat;
        ThumbnailFormat classic, modern;
    };
    const Case cases[] = {
        {"first install: BMP, modern JPEG", 0, 0, kModernFormatOfStyle, {false, 0}, {false, 2}},
        {"classic keeps the source's", 1, 3, kModernFormatOfStyle, {true, 3}, {false, 2}},
        {"modern chose PNG", 0, 0, kModernFormatConverted + 3, {false, 0}, {false, 3}},
        {"modern chose the source's", 0, 1, kModernFormatSame, {false, 1}, {true, 1}},
        {"a damaged modern value counts as unchosen", 0, 0, 99, {false, 0}, {false, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PageSettings page;
        page.keepSameFormat = c.keepSameFormat;
        page.newFormat = c.newFormat;
        page.modernFormat = c.modernFormat;
        EXPECT_EQ(thumbnailFormat(page, kStyleClassic), c.classic);
        EXPECT_EQ(thumbnailFormat(page, kStyleModern), c.modern);
        // Storing what is used changes nothing, for either style.
        PageSettings again = page;
        setThumbnailFormat(again, kStyleClassic, c.classic);
        EXPECT_EQ(thumbnailFormat(again, kStyleClassic), c.classic);
        EXPECT_EQ(thumbnailFormat(again, kStyleModern), c.modern);
        setThumbnailFormat(again, kStyleModern, {false, 1});
        EXPECT_EQ(thumbnailFormat(again, kStyleModern), (ThumbnailFormat{false, 1}));
        EXPECT_EQ(thumbnailFormat(again, kStyleClassic), c.classic);
    }
}
}  // namespace
}  // namespace lumigal
