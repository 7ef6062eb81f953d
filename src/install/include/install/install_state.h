// The installation state shared by the pages of the setup wizard, the
// installation step and the silent installation: one instance per run.
#pragma once

#include <string>
#include <vector>

namespace lumigal::install {

struct InstallState {
    // The install folder as normalised when the folder page was left; every
    // later path is built from it.
    std::string installFolder;
    bool createGroup = true;     // make the program group (menu folder)
    bool addToStartMenu = true;  // put a launcher into startMenuFolder
    bool placeOnDesktop = true;  // put a launcher on the desktop
    std::string startMenuFolder;
    // The setup program's own folder, with its trailing separator: where the
    // compressed product files are read from.
    std::string setupFolder;
    // The folders that were made for installFolder (outermost first), so that
    // the uninstaller can remove them again when they are empty.
    std::vector<std::string> createdFolders;
};

}  // namespace lumigal::install
