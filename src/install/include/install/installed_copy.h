// A copy of Lumigal installed under a prefix (by the Debian package or by
// `cmake --install`): the programs in <prefix>/bin, the manual and its
// pictures in <prefix>/share/lumigal. Such a copy works for a user who never
// ran the setup wizard.
#pragma once

#include <string>
#include <string_view>

namespace lumigal::platform {
class Registry;
}

namespace lumigal::install {

// <prefix>/share/lumigal for a program folder <prefix>/bin (with or without
// its trailing separator); empty when the folder is not called bin.
std::string installedDataFolder(std::string_view programFolder);

// The manual to open: `besideProgram` when that file exists, otherwise the
// manual of the installed data folder when there is one, otherwise
// `besideProgram` still (the message about a missing manual names it).
std::string findHelpManual(const std::string& besideProgram, std::string_view programFolder);

// When the settings key does not exist yet and the program's installed data
// folder holds the manual, writes the first settings as the setup wizard
// does (the installer's rows of the settings table), with `workFolder` (the
// user's pictures folder, else the home folder: xdg_dirs.h) as the folder of
// the pages and the folder shown at start-up, and the program folder as the
// installation folder. True when it wrote them; a user's
// settings, even damaged ones, are never touched.
bool writeFirstSettingsOfInstalledCopy(platform::Registry& registry,
                                       std::string_view programFolder,
                                       std::string_view workFolder);

}  // namespace lumigal::install
