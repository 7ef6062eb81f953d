// The installation step and the removal of what it made, in a sandbox home.
#include "install/installation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "album/settings.h"
#include "install/file_table.h"
#include "install/folders.h"
#include "install/install_record.h"
#include "install/uninstall.h"
#include "install/xdg_dirs.h"
#include "install/xdg_program_manager.h"
#include "platform/registry.h"
#include "test_support/sandbox.h"

namespace lumigal::install {
namespace {

using test::exists;
using test::readFile;
using test::writeFile;

// Answers every file error box the same way and counts the boxes per message.
class FixedAnswerObserver : public InstallObserver {
public:
    explicit FixedAnswerObserver(FileErrorChoice answer) : answer_(answer) {}
    void showProgress(const std::string&, const std::string&) override {}
    FileErrorChoice fileError(FileMessage message, const std::string&) override {
        messages.push_back(message);
        return answer_;
    }
    std::vector<FileMessage> messages;

private:
    FileErrorChoice answer_;
};

class InstallationTest : public ::testing::Test {
protected:
    InstallationTest() {
        test::makeFolders(setupFolder);
        test::makeFolders(sandbox.data() + "/applications/Bureautique");
        contents = {{"Lumigal._", "#!/bin/sh\necho Lumigal\n"},
                    {"lumigal-batch._", "#!/bin/sh\necho batch\n" + test::randomBytes(3000, 2)},
                    {"uninst._", "#!/bin/sh\necho uninst\nexit 0\n"},
                    {"Lumigal.htm_", "<html><body>Aide</body></html>\n"},
                    {"Lumigal.pn_", "\x89PNG\r\n\x1a\n" + test::randomBytes(500, 4)},
                    {"whatsnewe.tx_", "Lisez-moi : Lumigal 1.16\n"}};
        before = test::snapshot(sandbox.root());
    }

    void writePayload(const std::vector<std::string>& leaveOut = {}) {
        for (const auto& [name, content] : contents) {
            if (std::find(leaveOut.begin(), leaveOut.end(), name) == leaveOut.end()) {
                test::writeSzdd(setupFolder + name, content);
            }
        }
        before = test::snapshot(sandbox.root());
    }

    InstallState stateFor(bool choices) {
        InstallState state;
        state.installFolder = installFolder;
        state.createdFolders = createFolderPath(installFolder);
        state.createGroup = state.addToStartMenu = state.placeOnDesktop = choices;
        state.startMenuFolder = sandbox.data() + "/applications/Bureautique";
        state.setupFolder = setupFolder;
        return state;
    }

    InstallResult install(const InstallState& state, InstallObserver& observer,
                          std::optional<std::string> desktop = std::nullopt) {
        XdgProgramManager manager(*XdgProgramManager::userFolders(),
                                  installFolder + "/Lumigal.png");
        InstallServices services{registry, manager, desktop ? desktop : install::desktopFolder()};
        if (!state.placeOnDesktop) services.desktopFolder.reset();
        return runInstallation(state, services, observer);
    }

    UninstallReport uninstall() {
        return removeInstallation(InstallRecord::pathIn(installFolder), registry);
    }

    // Every launcher and menu folder file below the sandbox home.
    std::vector<std::string> desktopFiles() const {
        std::vector<std::string> found;
        for (const auto& [path, entry] : test::snapshot(sandbox.home())) {
            if (path.ends_with(".desktop") || path.ends_with(".directory")) found.push_back(path);
        }
        return found;
    }

    test::Sandbox sandbox;
    const std::string setupFolder = sandbox.path("media/cd") + "/";
    const std::string installFolder = sandbox.home() + "/.local/opt/Lumigal";
    platform::Registry registry{sandbox.config() + "/lumigal"};
    std::map<std::string, std::string> contents;
    std::map<std::string, std::string> before;
};

TEST_F(InstallationTest, InstallsEverythingAndUninstallLeavesNothing) {
    writePayload();
    FixedAnswerObserver observer(FileErrorChoice::Quit);
    ASSERT_EQ(install(stateFor(true), observer), InstallResult::Completed);
    EXPECT_TRUE(observer.messages.empty());

    for (const FileEntry& entry : fileTable()) {
        SCOPED_TRACE(std::string(entry.installedName));
        const std::string path = installFolder + "/" + std::string(entry.installedName);
        EXPECT_EQ(readFile(path), contents.at(std::string(entry.sourceName)));
        EXPECT_EQ(test::isExecutable(path), entry.executable);
    }
    const std::string applications = sandbox.data() + "/applications/";
    for (const char* file :
         {"lumigal-lumigal.desktop", "lumigal-read-me.desktop", "lumigal-uninstall.desktop",
          "lumigal-help.desktop", "Bureautique/Lumigal.desktop"}) {
        EXPECT_TRUE(exists(applications + file)) << file;
    }
    EXPECT_TRUE(exists(sandbox.home() + "/Desktop/Lumigal.desktop"));
    const std::vector<std::string> launchers = desktopFiles();
    EXPECT_EQ(launchers.size(), 7u);
    for (const std::string& file : launchers) EXPECT_EQ(test::desktopFileProblems(file), "");

    std::optional<platform::RegistryKey> key;
    ASSERT_EQ(registry.openKey(kSettingsKey, platform::KeyAccess::Read, key),
              platform::RegStatus::Ok);
    std::string installPath;
    EXPECT_EQ(key->queryString("installPath", installPath), platform::RegStatus::Ok);
    EXPECT_EQ(installPath, installFolder);
    key.reset();

    const UninstallReport report = uninstall();
    EXPECT_TRUE(report.complete());
    EXPECT_TRUE(report.keptFolders.empty());
    EXPECT_EQ(test::differences(before, test::snapshot(sandbox.root())),
              std::vector<std::string>{});
}

TEST_F(InstallationTest, HalfCopiedFilesOfAKilledInstallationAreRemoved) {
    writePayload();
    // What a killed copy leaves (no writer holds its lock any more), and a
    // file of the user's that only looks alike.
    test::makeFolders(installFolder);
    const std::string stale = installFolder + "/.lumigal-0a1b2c3d.tmp";
    const std::string users = installFolder + "/.lumigal-notes.txt";
    writeFile(stale, "moitié d'un programme");
    writeFile(users, "à garder");
    FixedAnswerObserver observer(FileErrorChoice::Quit);
    ASSERT_EQ(install(stateFor(false), observer), InstallResult::Completed);
    EXPECT_FALSE(exists(stale));
    EXPECT_EQ(readFile(users), "à garder");
}

TEST_F(InstallationTest, WithNoChoiceOnlyFilesAndSettingsAreMade) {
    writePayload();
    FixedAnswerObserver observer(FileErrorChoice::Quit);
    ASSERT_EQ(install(stateFor(false), observer), InstallResult::Completed);
    EXPECT_TRUE(desktopFiles().empty());
    EXPECT_FALSE(exists(sandbox.config() + "/menus"));
    EXPECT_TRUE(exists(registry.keyFile(kSettingsKey)->string()));
    EXPECT_TRUE(uninstall().complete());
    EXPECT_EQ(test::differences(before, test::snapshot(sandbox.root())),
              std::vector<std::string>{});
}

TEST_F(InstallationTest, ASecondInstallationAddsToTheRecordAndKeepsTheSettings) {
    writePayload();
    FixedAnswerObserver observer(FileErrorChoice::Quit);
    ASSERT_EQ(install(stateFor(true), observer), InstallResult::Completed);
    {
        std::optional<platform::RegistryKey> key;
        ASSERT_EQ(registry.openKey(kSettingsKey, platform::KeyAccess::AllAccess, key),
                  platform::RegStatus::Ok);
        key->setDword("width", 0x99);  // what the user set meanwhile
        ASSERT_EQ(key->close(), platform::RegStatus::Ok);
    }
    ASSERT_EQ(install(stateFor(false), observer), InstallResult::Completed);
    {
        std::optional<platform::RegistryKey> key;
        ASSERT_EQ(registry.openKey(kSettingsKey, platform::KeyAccess::Read, key),
                  platform::RegStatus::Ok);
        std::uint32_t width = 0;
        EXPECT_EQ(key->queryDword("width", width), platform::RegStatus::Ok);
        EXPECT_EQ(width, 0x99u);
    }
    EXPECT_TRUE(uninstall().complete());
    EXPECT_EQ(test::differences(before, test::snapshot(sandbox.root())),
              std::vector<std::string>{});
}

TEST_F(InstallationTest, QuitOnAFileStopsAndTheRecordCoversWhatWasInstalled) {
    writePayload({"uninst._"});
    FixedAnswerObserver observer(FileErrorChoice::Quit);
    ASSERT_EQ(install(stateFor(true), observer), InstallResult::Abandoned);
    EXPECT_EQ(observer.messages, std::vector<FileMessage>{FileMessage::SourceNotFound});
    EXPECT_TRUE(exists(installFolder + "/Lumigal"));
    EXPECT_TRUE(exists(installFolder + "/lumigal-batch"));
    EXPECT_FALSE(exists(installFolder + "/Lumigal.html"));
    EXPECT_TRUE(desktopFiles().empty());
    EXPECT_FALSE(exists(registry.keyFile(kSettingsKey)->string()));
    EXPECT_TRUE(uninstall().complete());
    EXPECT_EQ(test::differences(before, test::snapshot(sandbox.root())),
              std::vector<std::string>{});
}

TEST_F(InstallationTest, IgnoringEveryMissingFileStillMakesTheRest) {
    FixedAnswerObserver observer(FileErrorChoice::Ignore);
    ASSERT_EQ(install(stateFor(true), observer), InstallResult::Completed);
    std::vector<FileMessage> expected;
    for (std::size_t i = 0; i < fileTable().size(); ++i) {
        expected.push_back(FileMessage::SourceNotFound);
        expected.push_back(FileMessage::CopyFailed);
    }
    EXPECT_EQ(observer.messages, expected);
    EXPECT_EQ(desktopFiles().size(), 7u);
    EXPECT_TRUE(exists(registry.keyFile(kSettingsKey)->string()));
    EXPECT_TRUE(uninstall().complete());
    EXPECT_EQ(test::differences(before, test::snapshot(sandbox.root())),
              std::vector<std::string>{});
}

TEST_F(InstallationTest, UninstallKeepsTheUsersOwnFiles) {
    writePayload();
    FixedAnswerObserver observer(FileErrorChoice::Quit);
    ASSERT_EQ(install(stateFor(false), observer), InstallResult::Completed);
    writeFile(installFolder + "/mon-album.html", "à moi");
    const UninstallReport report = uninstall();
    EXPECT_TRUE(report.complete());
    EXPECT_NE(std::find(report.keptFolders.begin(), report.keptFolders.end(), installFolder),
              report.keptFolders.end());
    EXPECT_EQ(readFile(installFolder + "/mon-album.html"), "à moi");
    EXPECT_FALSE(exists(installFolder + "/Lumigal"));
    EXPECT_FALSE(exists(InstallRecord::pathIn(installFolder)));
}

TEST_F(InstallationTest, WithoutADesktopFolderNoDesktopLauncherIsWritten) {
    writePayload();
    test::makeFolders(sandbox.config());
    writeFile(sandbox.config() + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/\"\n");
    before = test::snapshot(sandbox.root());
    FixedAnswerObserver observer(FileErrorChoice::Quit);
    ASSERT_EQ(install(stateFor(true), observer, install::desktopFolder()),
              InstallResult::Completed);
    EXPECT_FALSE(exists(sandbox.home() + "/Lumigal.desktop"));
    EXPECT_FALSE(exists(sandbox.home() + "/Desktop"));
    EXPECT_EQ(desktopFiles().size(), 6u);
    EXPECT_TRUE(uninstall().complete());
    EXPECT_EQ(test::differences(before, test::snapshot(sandbox.root())),
              std::vector<std::string>{});
}

TEST_F(InstallationTest, ADamagedRecordRemovesNothing) {
    writePayload();
    FixedAnswerObserver observer(FileErrorChoice::Quit);
    ASSERT_EQ(install(stateFor(false), observer), InstallResult::Completed);
    const std::string record = InstallRecord::pathIn(installFolder);
    writeFile(record, readFile(record) + "rm -rf /\n");
    const auto installed = test::snapshot(sandbox.root());
    const UninstallReport report = uninstall();
    EXPECT_FALSE(report.complete());
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_NE(report.problems[0].find("endommagé"), std::string::npos);
    EXPECT_EQ(test::differences(installed, test::snapshot(sandbox.root())),
              std::vector<std::string>{});
}

TEST(InstallRecordFile, KeepsOddPathsAndRefusesRelativeOnes) {
    test::Sandbox sandbox;
    InstallRecord record(sandbox.path("uninst.lst"));
    record.addFile("/a/line\nbreak");
    record.addFile("/a/back\\slash n");
    record.addFile("/a/line\nbreak");
    record.addFolder("/a");
    record.addKey("Software\\Lumigal");
    ASSERT_TRUE(record.save());
    InstallRecord again(sandbox.path("uninst.lst"));
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.files(), (std::vector<std::string>{"/a/line\nbreak", "/a/back\\slash n"}));
    EXPECT_EQ(again.folders(), std::vector<std::string>{"/a"});
    EXPECT_EQ(again.keys(), std::vector<std::string>{"Software\\Lumigal"});

    for (const char* bad : {"file relative/path\n", "folder \n", "remove /x\n", "file /x\\q\n"}) {
        writeFile(sandbox.path("uninst.lst"), bad);
        std::string error;
        EXPECT_FALSE(again.load(&error)) << bad;
        EXPECT_TRUE(again.files().empty());
        EXPECT_FALSE(error.empty());
    }
}

// The manual's pictures come from screenshots/ beside the payload into
// screenshots/ beside the manual (only compressed pictures), and go with
// the uninstallation.
TEST_F(InstallationTest, ManualPicturesAreCopiedBesideTheManual) {
    writePayload();
    test::makeFolders(setupFolder + "screenshots/");
    const std::map<std::string, std::string> pictures = {
        {"main-window", "\x89PNG\r\n\x1a\n" + test::randomBytes(300, 7)},
        {"about-box", "\x89PNG\r\n\x1a\n" + test::randomBytes(200, 8)}};
    for (const auto& [name, content] : pictures)
        test::writeSzdd(setupFolder + "screenshots/" + name + ".pn_", content);
    test::writeSzdd(setupFolder + "screenshots/notes.tx_", "not a picture, only notes");
    before = test::snapshot(sandbox.root());

    FixedAnswerObserver observer(FileErrorChoice::Quit);
    ASSERT_EQ(install(stateFor(false), observer), InstallResult::Completed);
    EXPECT_TRUE(observer.messages.empty());
    for (const auto& [name, content] : pictures)
        EXPECT_EQ(readFile(installFolder + "/screenshots/" + name + ".png"), content) << name;
    EXPECT_FALSE(exists(installFolder + "/screenshots/notes.txt"));

    const UninstallReport report = uninstall();
    EXPECT_TRUE(report.complete());
    EXPECT_EQ(test::differences(before, test::snapshot(sandbox.root())),
              std::vector<std::string>{});
}

}  // namespace
}  // namespace lumigal::install
