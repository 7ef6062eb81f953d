// The Program Manager layer of Linux: carries out the commands CreateGroup,
// AddItem and ShowGroup by making a menu folder by the freedesktop menu
// rules:
//   <menus>/<group>.menu                 a merge file that adds the folder to
//                                        the applications menu and lists its
//                                        entries in order
//   <directories>/<group>.directory      the folder's name and icon
//   <applications>/<group>-<item>.desktop  one launcher per item
// where <group> and <item> are the names in lower case with every other
// character than a letter or digit turned into "-". An item whose target is
// an executable file runs it; any other target is opened with xdg-open.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/progman.h"

namespace lumigal::install {

class XdgProgramManager : public ProgramManager {
public:
    struct Folders {
        std::string applications;        // ~/.local/share/applications
        std::string desktopDirectories;  // ~/.local/share/desktop-directories
        std::string mergedMenus;         // ~/.config/menus/applications-merged
    };
    // The user's folders, from the XDG base directories; nothing when the
    // home folder is unknown.
    static std::optional<Folders> userFolders();

    // `defaultIcon` is the icon of the group and of items that name no icon
    // file (a path or an icon name; may be empty).
    XdgProgramManager(Folders folders, std::string defaultIcon);

    bool execute(std::string_view command) override;

    // Every file written so far and every folder made for them, in order.
    std::vector<std::string> writtenFiles() const override { return writtenFiles_; }
    std::vector<std::string> createdFolders() const override { return createdFolders_; }

private:
    struct Group {
        std::string name;
        std::string slug;
        std::vector<std::string> entryNames;  // desktop file names, in menu order
    };

    bool createGroup(const std::vector<std::string>& args);
    bool addItem(const std::vector<std::string>& args);
    bool showGroup(const std::vector<std::string>& args) const;
    bool writeMenuFile();
    bool writeFile(const std::string& folder, const std::string& name, const std::string& text);
    std::string itemIcon(const std::vector<std::string>& args) const;

    Folders folders_;
    std::string defaultIcon_;
    std::optional<Group> group_;
    std::vector<std::string> writtenFiles_;
    std::vector<std::string> createdFolders_;
};

// The program group layer for `folders`, or, when they are unknown (no home
// folder), one that carries out nothing.
std::unique_ptr<ProgramManager> makeProgramManager(
    const std::optional<XdgProgramManager::Folders>& folders, std::string defaultIcon);

// Splits a command text into its commands, each a name and its arguments
// (quotes removed, blanks around arguments trimmed). Nothing when the text is
// not a well-formed sequence of "[Name(arg, ...)]".
struct ProgmanCall {
    std::string name;
    std::vector<std::string> args;
};
std::optional<std::vector<ProgmanCall>> parseProgmanCommand(std::string_view text);

}  // namespace lumigal::install
