// The installation step: the product files, the program group, the first
// settings, the Start-menu and desktop launchers, in this order. The wizard's
// ready page and the silent installation run it; everything it creates is
// written to the install record for the uninstaller.
#pragma once

#include <optional>
#include <string>

#include "install/install_file.h"
#include "install/install_state.h"

namespace lumigal::platform {
class Registry;
}

namespace lumigal::install {

class ProgramManager;

struct InstallServices {
    platform::Registry& registry;              // the settings store
    ProgramManager& programManager;            // makes the program group
    std::optional<std::string> desktopFolder;  // nothing: no desktop launcher
};

enum class InstallResult {
    Completed,
    Abandoned,  // the user chose "Quitter" on a file: nothing after it was done
};

// Runs the installation for `state` (installFolder, choices, setupFolder and
// startMenuFolder set). Only a file error reaches the user, through
// `observer`; the group, the settings and the launchers fail silently.
InstallResult runInstallation(const InstallState& state, InstallServices& services,
                              InstallObserver& observer);

// The paths the installation builds from the install folder.
std::string installedProgramPath(std::string_view installFolder);  // not normalised
std::string installedFilePath(std::string_view installFolder, std::string_view name);
std::string startMenuLinkPath(std::string_view startMenuFolder);
std::string desktopLinkPath(std::string_view desktopFolder);

}  // namespace lumigal::install
