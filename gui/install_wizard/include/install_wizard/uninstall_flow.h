// uninst with its windows: the confirmation question, the removal, and the
// box that says what was removed or what stayed.
#pragma once

#include <string>

namespace lumigal::platform {
class Registry;
}

namespace lumigal::install {

// Returns the exit code: 0 when everything was removed, 1 when the user
// declined, the folder holds no installation, or something stayed.
int runUninstallWithQuestions(const std::string& installFolder, platform::Registry& registry);

}  // namespace lumigal::install
