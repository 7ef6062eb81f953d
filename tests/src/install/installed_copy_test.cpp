#include "install/installed_copy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "album/settings.h"
#include "platform/registry.h"

namespace lumigal::install {
namespace {

namespace fs = std::filesystem;

// A prefix with bin/ and share/lumigal/ below the test folder, and a
// settings store of its own.
class InstalledCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tmp = std::getenv("LUMIGAL_TEST_TMP");
        root_ = fs::path(tmp != nullptr ? tmp : fs::temp_directory_path().string()) /
                ("installed_copy_" + std::string(
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(bin());
        fs::create_directories(root_ / "usr/share/lumigal");
        fs::create_directories(root_ / "home");
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string bin() const { return (root_ / "usr/bin").string(); }
    std::string home() const { return (root_ / "home").string(); }
    std::string installedManual() const { return (root_ / "usr/share/lumigal/Lumigal.html").string(); }
    static void put(const std::string& path) { std::ofstream(path) << "<html></html>\n"; }
    platform::Registry registry() const { return platform::Registry(root_ / "config"); }

    fs::path root_;
};

TEST(InstalledDataFolder, IsShareLumigalBesideBin) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/usr/bin", "/usr/share/lumigal"},
        {"/usr/bin/", "/usr/share/lumigal"},
        {"/opt/lumigal/bin//", "/opt/lumigal/share/lumigal"},
        {"/home/u/.local/opt/Lumigal/", ""},
        {"/usr/sbin", ""},
        {"", ""},
    };
    for (const auto& [folder, data] : cases) EXPECT_EQ(installedDataFolder(folder), data) << folder;
}

TEST_F(InstalledCopyTest, TheManualIsBesideTheProgramOrInTheDataFolder) {
    const std::string beside = bin() + "/Lumigal.html";
    EXPECT_EQ(findHelpManual(beside, bin()), beside) << "neither: the usual place is named";
    put(installedManual());
    EXPECT_EQ(findHelpManual(beside, bin() + "/"), installedManual());
    put(beside);
    EXPECT_EQ(findHelpManual(beside, bin()), beside);
}

TEST_F(InstalledCopyTest, FirstRunWritesTheInstallerValues) {
    put(installedManual());
    platform::Registry store = registry();
    ASSERT_TRUE(writeFirstSettingsOfInstalledCopy(store, bin() + "/", home() + "/"));

    Preferences prefs;
    PageSettings page;
    std::string help;
    std::string error;
    ASSERT_EQ(LoadSettings(store, prefs, page, help, &error), 0) << error;
    Preferences expectedPrefs;
    PageSettings expectedPage;
    initialSettings(expectedPrefs, expectedPage, bin());
    expectedPrefs.pathSave = home();
    expectedPrefs.pathLaunch = home();
    EXPECT_EQ(prefs.installPath, bin());
    EXPECT_EQ(prefs.pathSave, home());
    EXPECT_EQ(prefs.pathLaunch, home());
    EXPECT_TRUE(prefs == expectedPrefs);
    EXPECT_TRUE(page == expectedPage);
    EXPECT_EQ(findHelpManual(help, bin()), installedManual());

    // Once written, the user's settings are theirs.
    EXPECT_FALSE(writeFirstSettingsOfInstalledCopy(store, bin(), "/elsewhere"));
    ASSERT_EQ(LoadSettings(store, prefs, page, help, &error), 0) << error;
    EXPECT_EQ(prefs.pathSave, home());
}

TEST_F(InstalledCopyTest, NothingIsWrittenOutsideAnInstalledCopyOrOverSettings) {
    platform::Registry store = registry();
    EXPECT_FALSE(writeFirstSettingsOfInstalledCopy(store, bin(), home())) << "no manual installed";
    std::optional<platform::RegistryKey> key;
    EXPECT_EQ(store.openKey(kSettingsKey, platform::KeyAccess::Read, key),
              platform::RegStatus::NotFound);

    put(installedManual());
    const fs::path file = *store.keyFile(kSettingsKey);
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "damaged\n";
    EXPECT_FALSE(writeFirstSettingsOfInstalledCopy(store, bin(), home()));
    std::ifstream in(file);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "damaged\n") << "damaged settings are reported, never replaced";
}

}  // namespace
}  // namespace lumigal::install
