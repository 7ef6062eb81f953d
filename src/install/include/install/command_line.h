// The option records of the two programs' command lines (parsed in
// install_wizard/command_line.h):
//   install [--silent [--dir DIR] [--no-group] [--no-start-menu] [--no-desktop]]
//   uninst [--silent] [--dir DIR]
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumigal::install {

struct SetupOptions {
    bool silent = false;
    std::optional<std::string> folder;  // --dir
    bool createGroup = true;
    bool addToStartMenu = true;
    bool placeOnDesktop = true;
};

struct UninstallOptions {
    bool silent = false;
    std::optional<std::string> folder;  // --dir: the install folder (default: uninst's own)
};

}  // namespace lumigal::install
