// The two programs run as a user would run them from a terminal:
// install --silent from a setup folder holding the payload, then the
// installed uninst --silent.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "test_support/sandbox.h"

namespace lumigal::install {
namespace {

using test::exists;
using test::readFile;

class ProgramsTest : public ::testing::Test {
protected:
    ProgramsTest() {
        test::makeFolders(setupFolder);
        std::filesystem::copy_file(INSTALL_PROGRAM, setupFolder + "/install");
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
    }

    // The payload: small files compressed with mscompress, and the real
    // uninstaller copied as it is (a source that is not compressed is
    // installed unchanged).
    void writePayload(const std::vector<std::string>& leaveOut = {}) {
        const std::map<std::string, std::string> small = {
            {"Lumigal._", "#!/bin/sh\necho Lumigal\nexit 0\n"},
            {"lumigal-batch._", "#!/bin/sh\necho lumigal-batch\nexit 0\n"},
            {"Lumigal.htm_", "<html><body>Aide</body></html>\n"},
            {"Lumigal.pn_", "\x89PNG\r\n\x1a\n" + std::string(40, '\0')},
            {"whatsnewe.tx_", "Lisez-moi : Lumigal 1.16\n"}};
        for (const auto& [name, content] : small) {
            if (std::find(leaveOut.begin(), leaveOut.end(), name) == leaveOut.end()) {
                test::writeSzdd(setupFolder + "/" + name, content);
            }
        }
        std::filesystem::copy_file(UNINST_PROGRAM, setupFolder + "/uninst._");
    }

    int install(const std::vector<std::string>& args, std::string* output = nullptr) {
        std::vector<std::string> argv = {setupFolder + "/install"};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::runProgram(argv, output);
    }

    test::Sandbox sandbox;
    const std::string setupFolder = sandbox.path("setup");
    const std::string defaultFolder = sandbox.home() + "/.local/opt/Lumigal";
};

TEST_F(ProgramsTest, SilentInstallThenSilentUninstallLeavesNothing) {
    writePayload();
    const auto before = test::snapshot(sandbox.root());
    std::string output;
    ASSERT_EQ(install({"--silent"}, &output), 0) << output;
    EXPECT_EQ(output, "");
    EXPECT_TRUE(test::isExecutable(defaultFolder + "/uninst"));
    EXPECT_TRUE(exists(defaultFolder + "/whatsnewe.txt"));
    EXPECT_TRUE(exists(sandbox.data() + "/applications/lumigal-lumigal.desktop"));
    EXPECT_TRUE(exists(sandbox.data() + "/applications/Lumigal.desktop"));
    EXPECT_TRUE(exists(sandbox.home() + "/Desktop/Lumigal.desktop"));
    EXPECT_TRUE(exists(sandbox.config() + "/lumigal/Software/Lumigal.reg"));

    ASSERT_EQ(test::runProgram({defaultFolder + "/uninst", "--silent"}, &output), 0) << output;
    EXPECT_EQ(test::differences(before, test::snapshot(sandbox.root())),
              std::vector<std::string>{});
}

TEST_F(ProgramsTest, SilentOptionsLeaveOutTheShellIntegration) {
    writePayload();
    const std::string folder = sandbox.path("Mes programmes/Lumigal");
    ASSERT_EQ(
        install({"--silent", "--dir", folder, "--no-group", "--no-start-menu", "--no-desktop"}), 0);
    EXPECT_TRUE(exists(folder + "/Lumigal"));
    EXPECT_FALSE(exists(sandbox.data() + "/applications"));
    EXPECT_FALSE(exists(sandbox.home() + "/Desktop"));
    EXPECT_NE(readFile(sandbox.config() + "/lumigal/Software/Lumigal.reg").find(folder),
              std::string::npos);
    EXPECT_EQ(test::runProgram({folder + "/uninst", "--silent"}), 0);
    EXPECT_FALSE(exists(folder));
}

TEST_F(ProgramsTest, AMissingFileStopsTheSilentInstall) {
    writePayload({"Lumigal.htm_"});
    std::string output;
    EXPECT_EQ(install({"--silent"}, &output), 1);
    EXPECT_NE(output.find("Install n'a pas pu copier " + setupFolder + "/Lumigal.htm_"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("Le fichier n'a pas été trouvé."), std::string::npos);
    // Entries before it are installed, the ones after it are not.
    EXPECT_TRUE(exists(defaultFolder + "/uninst"));
    EXPECT_FALSE(exists(defaultFolder + "/Lumigal.png"));
    EXPECT_FALSE(exists(sandbox.config() + "/lumigal"));
}

TEST_F(ProgramsTest, CommandLineMistakesAreReported) {
    std::string output;
    EXPECT_EQ(install({"--silently"}, &output), 2);
    EXPECT_NE(output.find("Option inconnue : --silently"), std::string::npos);
    EXPECT_EQ(install({"--dir", "/tmp/x"}, &output), 2);
    EXPECT_EQ(install({"--silent", "--dir"}, &output), 2);
    EXPECT_EQ(test::runProgram({UNINST_PROGRAM, "--dir"}, &output), 2);
    // A folder without an installation record: nothing to remove.
    EXPECT_EQ(test::runProgram({UNINST_PROGRAM, "--silent", "--dir", sandbox.root()}, &output), 1);
    EXPECT_NE(output.find("uninst.lst"), std::string::npos) << output;
}

}  // namespace
}  // namespace lumigal::install
