// The installation without windows (install --silent) and the removal
// without question (uninst --silent): the same steps as the wizard and the
// uninstaller, with the messages on standard error.
#pragma once

#include <string>

#include "install/command_line.h"

namespace lumigal::install {

// Installs from `setupFolder` (ending with a separator) with the options.
// Returns the exit code: 0 when installed, 1 when a file could not be
// installed or the install folder is unknown (with a French message on
// standard error).
int runSilentInstallation(const SetupOptions& options, const std::string& setupFolder);

// The install folder that uninst works on: --dir, else uninst's own folder.
std::string uninstallFolder(const UninstallOptions& options);

// Removes the installation of `installFolder` and prints what could not be
// removed on standard error. Returns 0 when everything was removed, else 1.
int runSilentUninstall(const std::string& installFolder);

}  // namespace lumigal::install
