// Removal of an installation: exactly what its record lists (the installed
// files, the menu folder and its entries, the launchers, the settings key),
// then the folders the installation made when they are empty, then the
// record itself.
#pragma once

#include <string>
#include <vector>

namespace lumigal::platform {
class Registry;
}

namespace lumigal::install {

struct UninstallReport {
    bool recordRead = false;
    std::vector<std::string> removed;  // paths and key names
    // What could not be removed, one French sentence each.
    std::vector<std::string> problems;
    // Folders made by the installation that still hold other files; they stay.
    std::vector<std::string> keptFolders;
    bool complete() const { return recordRead && problems.empty(); }
};

// Removes the installation whose record is `recordPath`. A missing or
// damaged record removes nothing and is reported in `problems`.
UninstallReport removeInstallation(const std::string& recordPath, platform::Registry& registry);

}  // namespace lumigal::install
