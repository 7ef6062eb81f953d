// The program group (command texts and the menu folder made from them) and
// the launchers: every file written must satisfy desktop-file-validate.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "install/desktop_entry.h"
#include "install/progman.h"
#include "install/shell_link.h"
#include "install/xdg_dirs.h"
#include "install/xdg_program_manager.h"
#include "test_support/sandbox.h"

namespace lumigal::install {
namespace {

using test::readFile;
using test::writeFile;

class RecordingManager : public ProgramManager {
public:
    bool execute(std::string_view command) override {
        commands.emplace_back(command);
        return true;
    }
    std::vector<std::string> commands;
};

TEST(ProgramGroupCommands, AreSentExactlyAndInOrder) {
    struct Case {
        const char* folder;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"/home/ana/.local/opt/Lumigal",
         {"[CreateGroup(Lumigal, 1)]",
          "[AddItem(\"/home/ana/.local/opt/Lumigal/Lumigal\",Lumigal)]",
          "[AddItem(\"/home/ana/.local/opt/Lumigal/whatsnewe.txt\",Read me, notepad.exe, 0)]",
          "[AddItem(\"/home/ana/.local/opt/Lumigal/uninst\",Uninstall)]",
          "[AddItem(\"/home/ana/.local/opt/Lumigal/Lumigal.html\",Help, winhlp32.exe, 1)]",
          "[ShowGroup(Lumigal)]"}},
        // A folder typed with its trailing separator keeps it: the separator
        // is doubled in the commands, which are sent that way.
        {"/",
         {"[CreateGroup(Lumigal, 1)]", "[AddItem(\"//Lumigal\",Lumigal)]",
          "[AddItem(\"//whatsnewe.txt\",Read me, notepad.exe, 0)]",
          "[AddItem(\"//uninst\",Uninstall)]",
          "[AddItem(\"//Lumigal.html\",Help, winhlp32.exe, 1)]", "[ShowGroup(Lumigal)]"}},
    };
    for (const Case& c : cases) {
        RecordingManager manager;
        createProgramGroup(manager, c.folder);
        EXPECT_EQ(manager.commands, c.expected);
    }
}

TEST(ProgmanParser, ReadsCommandsAndArguments) {
    const auto calls =
        parseProgmanCommand("[AddItem(\"/a b/c, d)\",Read me, notepad.exe, 0)] [ShowGroup(X)]");
    ASSERT_TRUE(calls.has_value());
    ASSERT_EQ(calls->size(), 2u);
    EXPECT_EQ((*calls)[0].name, "AddItem");
    EXPECT_EQ((*calls)[0].args,
              (std::vector<std::string>{"/a b/c, d)", "Read me", "notepad.exe", "0"}));
    EXPECT_EQ((*calls)[1].args, std::vector<std::string>{"X"});

    for (const char* bad : {"", "CreateGroup(x)", "[CreateGroup(x)", "[(x)]",
                            "[AddItem(\"unterminated)]", "[A(x) trailing]"}) {
        EXPECT_FALSE(parseProgmanCommand(bad).has_value()) << bad;
    }
}

// Splits an Exec value (as stored in the file) into its arguments by the
// desktop-entry rules: value unescaping, then quoting, then %% -> %.
std::vector<std::string> execArguments(const std::string& stored) {
    std::string value;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\\' && i + 1 < stored.size()) {
            const char next = stored[++i];
            value += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            value += stored[i];
        }
    }
    std::vector<std::string> args;
    std::string current;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted) {
            if (c == '\\' && i + 1 < value.size()) {
                current += value[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == '"') {
            quoted = any = true;
        } else if (c == ' ') {
            if (any) args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) args.push_back(current);
    for (std::string& arg : args) {
        std::string unescaped;
        for (std::size_t i = 0; i < arg.size(); ++i) {
            unescaped += arg[i];
            if (arg[i] == '%' && i + 1 < arg.size() && arg[i + 1] == '%') ++i;
        }
        arg = unescaped;
    }
    return args;
}

std::string keyOf(const std::string& text, const std::string& key) {
    const std::string start = "\n" + key + "=";
    const std::size_t at = text.find(start);
    if (at == std::string::npos) return "<none>";
    const std::size_t end = text.find('\n', at + start.size());
    return text.substr(at + start.size(), end - at - start.size());
}

class MenuFolderTest : public ::testing::Test {
protected:
    XdgProgramManager::Folders folders() const {
        return {sandbox.data() + "/applications", sandbox.data() + "/desktop-directories",
                sandbox.config() + "/menus/applications-merged"};
    }
    // An install folder with the program and the read-me in place.
    std::string installFolder(const std::string& name) {
        const std::string folder = sandbox.path(name);
        test::makeFolders(folder);
        writeFile(folder + "/Lumigal", "#!/bin/sh\n");
        ::chmod((folder + "/Lumigal").c_str(), 0755);
        writeFile(folder + "/whatsnewe.txt", "Lisez-moi");
        return folder;
    }

    test::Sandbox sandbox;
};

TEST_F(MenuFolderTest, TheGroupBecomesAMenuFolderWithFourEntries) {
    const std::string folder = installFolder("opt/Lumigal");
    XdgProgramManager manager(folders(), folder + "/Lumigal.png");
    for (const std::string& command : programGroupCommands(folder)) {
        EXPECT_TRUE(execProgmanCommand(manager, command)) << command;
    }
    const std::string applications = sandbox.data() + "/applications/";
    const std::vector<std::string> entries = {"lumigal-lumigal.desktop", "lumigal-read-me.desktop",
                                              "lumigal-uninstall.desktop", "lumigal-help.desktop"};
    const std::string menu = readFile(sandbox.config() + "/menus/applications-merged/lumigal.menu");
    std::size_t last = 0;
    for (const std::string& entry : entries) {
        const std::size_t at = menu.find("<Filename>" + entry + "</Filename>");
        ASSERT_NE(at, std::string::npos) << entry;
        EXPECT_GT(at, last) << "menu order of " << entry;
        last = at;
        EXPECT_EQ(test::desktopFileProblems(applications + entry), "");
    }
    EXPECT_NE(menu.find("<Directory>lumigal.directory</Directory>"), std::string::npos);
    const std::string directory = sandbox.data() + "/desktop-directories/lumigal.directory";
    EXPECT_EQ(test::desktopFileProblems(directory), "");
    EXPECT_EQ(keyOf(readFile(directory), "Name"), "Lumigal");

    const std::string program = readFile(applications + "lumigal-lumigal.desktop");
    EXPECT_EQ(execArguments(keyOf(program, "Exec")), std::vector<std::string>{folder + "/Lumigal"});
    EXPECT_EQ(keyOf(program, "Icon"), folder + "/Lumigal.png");
    const std::string readMe = readFile(applications + "lumigal-read-me.desktop");
    EXPECT_EQ(keyOf(readMe, "Name"), "Read me");
    EXPECT_EQ(execArguments(keyOf(readMe, "Exec")),
              (std::vector<std::string>{"xdg-open", folder + "/whatsnewe.txt"}));
    EXPECT_EQ(keyOf(readMe, "Icon"), "accessories-text-editor");
    EXPECT_EQ(keyOf(readFile(applications + "lumigal-help.desktop"), "Icon"), "help-browser");

    EXPECT_EQ(manager.writtenFiles().size(), 6u);
    std::vector<std::string> made = manager.createdFolders();
    std::sort(made.begin(), made.end());
    const std::string home = sandbox.home();
    EXPECT_EQ(made, (std::vector<std::string>{home + "/.config", home + "/.config/menus",
                                              home + "/.config/menus/applications-merged",
                                              home + "/.local", home + "/.local/share",
                                              home + "/.local/share/applications",
                                              home + "/.local/share/desktop-directories"}));
}

TEST_F(MenuFolderTest, OddFolderNamesAreQuotedAndValid) {
    for (const std::string name : {"Mes programmes/Lumigal 1.16", "dollar$HOME/`back`",
                                   "quote\"d/back\\slash", "100%/d'été", "x/--/;&|<>*?#()"}) {
        SCOPED_TRACE(name);
        const std::string folder = installFolder(name);
        XdgProgramManager manager(folders(), "");
        createProgramGroup(manager, folder);
        const std::string applications = sandbox.data() + "/applications/";
        for (const std::string entry : {"lumigal-lumigal.desktop", "lumigal-read-me.desktop"}) {
            EXPECT_EQ(test::desktopFileProblems(applications + entry), "");
        }
        const std::string program = readFile(applications + "lumigal-lumigal.desktop");
        EXPECT_EQ(execArguments(keyOf(program, "Exec")),
                  std::vector<std::string>{folder + "/Lumigal"});
        const std::string readMe = readFile(applications + "lumigal-read-me.desktop");
        EXPECT_EQ(execArguments(keyOf(readMe, "Exec")).back(), folder + "/whatsnewe.txt");
    }
}

TEST_F(MenuFolderTest, RefusesWhatItCannotCarryOut) {
    XdgProgramManager manager(folders(), "");
    EXPECT_FALSE(manager.execute("[AddItem(\"/x/Lumigal\",Lumigal)]"));  // no group yet
    EXPECT_FALSE(manager.execute("[ShowGroup(Lumigal)]"));
    EXPECT_FALSE(manager.execute("[DeleteGroup(Lumigal)]"));
    EXPECT_FALSE(manager.execute("[CreateGroup(\"\xff\xfe\")]"));  // not UTF-8
    EXPECT_TRUE(manager.execute("[CreateGroup(Lumigal, 1)]"));
    EXPECT_FALSE(manager.execute("[AddItem(\"/x/bad\xc3\",Bad)]"));
    EXPECT_FALSE(manager.execute("[ShowGroup(Other)]"));
    EXPECT_TRUE(manager.execute("[ShowGroup(lumigal)]"));
}

TEST_F(MenuFolderTest, ShellLinksAreLaunchersForTheTarget) {
    const std::string folder = installFolder("opt/Lumigal");
    const std::string link = sandbox.path("Lumigal.desktop");
    writeFile(link, "an older launcher");
    ASSERT_EQ(writeShellLink(folder + "/Lumigal", link, "Lumigal", folder + "/Lumigal.png"),
              LinkStatus::Ok);
    EXPECT_EQ(test::desktopFileProblems(link), "");
    const std::string text = readFile(link);
    EXPECT_EQ(keyOf(text, "Type"), "Application");
    EXPECT_EQ(keyOf(text, "Name"), "Lumigal");
    EXPECT_EQ(keyOf(text, "Comment"), "Lumigal");
    EXPECT_EQ(keyOf(text, "Icon"), folder + "/Lumigal.png");
    EXPECT_EQ(execArguments(keyOf(text, "Exec")), std::vector<std::string>{folder + "/Lumigal"});
    EXPECT_TRUE(test::isExecutable(link));

    const std::string odd = sandbox.path("d'été $x \\ \"q\" 50%/Lumigal");
    ASSERT_EQ(writeShellLink(odd, sandbox.path("Odd.desktop"), " lead", ""), LinkStatus::Ok);
    EXPECT_EQ(test::desktopFileProblems(sandbox.path("Odd.desktop")), "");
    EXPECT_EQ(execArguments(keyOf(readFile(sandbox.path("Odd.desktop")), "Exec")),
              std::vector<std::string>{odd});

    EXPECT_EQ(writeShellLink("/x/\xc3(", sandbox.path("Bad.desktop"), "Lumigal", ""),
              LinkStatus::BadText);
    EXPECT_FALSE(test::exists(sandbox.path("Bad.desktop")));
    EXPECT_EQ(writeShellLink("/x/Lumigal", sandbox.path("missing/Lumigal.desktop"), "Lumigal", ""),
              LinkStatus::WriteFailed);
}

TEST(DesktopText, AcceptsOnlyUtf8WithoutControls) {
    EXPECT_TRUE(isDesktopSafeText("Désinstallation\tde Lumigal\n"));
    for (const char* bad :
         {"\x01", "\x7f", "\xc3", "\xc3\x28", "\xed\xa0\x80", "\xc0\xaf", "\xf4\x90\x80\x80"}) {
        EXPECT_FALSE(isDesktopSafeText(bad)) << bad;
    }
}

class DesktopFolderTest : public ::testing::Test {
protected:
    void userDirs(const std::string& lines) {
        test::makeFolders(sandbox.config());
        writeFile(sandbox.config() + "/user-dirs.dirs", lines);
    }
    test::Sandbox sandbox;
};

TEST_F(DesktopFolderTest, FollowsTheUserDirectories) {
    struct Case {
        const char* name;
        std::string file;  // empty: no user-dirs.dirs
        std::optional<std::string> expected;
    };
    const std::string home = sandbox.home();
    const std::vector<Case> cases = {
        {"no file: ~/Desktop", "", home + "/Desktop"},
        {"below home", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", home + "/Bureau"},
        {"absolute", "# comment\nXDG_DESKTOP_DIR=\"/srv/desk/\"\n", "/srv/desk"},
        {"escaped quote", "XDG_DESKTOP_DIR=\"$HOME/Mon \\\"bureau\\\"\"\n",
         home + "/Mon \"bureau\""},
        {"other entries only", "XDG_MUSIC_DIR=\"$HOME/Musique\"\n", home + "/Desktop"},
        {"the home folder itself means none", "XDG_DESKTOP_DIR=\"$HOME/\"\n", std::nullopt},
        {"relative", "XDG_DESKTOP_DIR=\"Desktop\"\n", std::nullopt},
        {"unquoted", "XDG_DESKTOP_DIR=$HOME/Desktop\n", std::nullopt},
        {"$HOMEX is not $HOME", "XDG_DESKTOP_DIR=\"$HOMEX/Desktop\"\n", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(sandbox.config() + "/user-dirs.dirs");
        if (!c.file.empty()) userDirs(c.file);
        EXPECT_EQ(desktopFolder(), c.expected);
    }
}

// Albums start and go to the pictures folder when there is one, else home.
TEST_F(DesktopFolderTest, TheWorkFolderIsThePicturesFolderElseHome) {
    struct Case {
        const char* name;
        std::string file;           // empty: no user-dirs.dirs
        const char* made;           // folder made below home, or nullptr
        std::optional<std::string> pictures;
        std::string work;
    };
    const std::string home = sandbox.home();
    const std::vector<Case> cases = {
        {"no file: home", "", nullptr, std::nullopt, home},
        {"the pictures entry", "XDG_PICTURES_DIR=\"$HOME/Images\"\n", "Images", home + "/Images",
         home + "/Images"},
        {"a pictures folder that is missing", "XDG_PICTURES_DIR=\"$HOME/Photos\"\n", nullptr,
         home + "/Photos", home},
        {"not the desktop entry", "XDG_DESKTOP_DIR=\"$HOME/Images\"\n", "Images", std::nullopt,
         home},
        {"a longer name is another entry", "XDG_PICTURES_DIRX=\"$HOME/Images\"\n", "Images",
         std::nullopt, home},
        {"the home folder itself", "XDG_PICTURES_DIR=\"$HOME\"\n", nullptr, std::nullopt, home},
        {"malformed", "XDG_PICTURES_DIR=$HOME/Images\n", "Images", std::nullopt, home},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(sandbox.config() + "/user-dirs.dirs");
        std::filesystem::remove_all(home + "/Images");
        if (!c.file.empty()) userDirs(c.file);
        if (c.made) test::makeFolders(home + "/" + c.made);
        EXPECT_EQ(picturesFolder(), c.pictures);
        EXPECT_EQ(userWorkFolder(), c.work);
    }
}

TEST_F(DesktopFolderTest, TheStartMenuRootFollowsXdgDataHome) {
    EXPECT_EQ(startMenuRoot(), sandbox.data() + "/applications");
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(startMenuRoot(), sandbox.home() + "/.local/share/applications");
    EXPECT_EQ(defaultInstallFolder(), sandbox.home() + "/.local/opt/Lumigal");
}

}  // namespace
}  // namespace lumigal::install
