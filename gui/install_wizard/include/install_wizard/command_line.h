// The command lines of the two programs:
//   install [--silent [--dir DIR] [--no-group] [--no-start-menu] [--no-desktop]]
//   uninst [--silent] [--dir DIR]
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "install/command_line.h"

namespace lumigal::install {

// Parsed by Qt's command line parser.
// Nothing, with `error` set (French), when the arguments are not understood.
// The options other than --silent are accepted only with it for install.
std::optional<SetupOptions> parseSetupOptions(const std::vector<std::string>& args,
                                              std::string& error);
std::optional<UninstallOptions> parseUninstallOptions(const std::vector<std::string>& args,
                                                      std::string& error);

// The usage texts, made from the same option rows as the parsers.
const std::string& setupUsage();
const std::string& uninstallUsage();

// Whether a window can be shown: a display (X11 or Wayland) or an explicit
// Qt platform is set in the environment.
bool hasDisplay();

}  // namespace lumigal::install
