// The first settings of the main program, written by the installation under
// its registry key: seventeen values in a fixed order. An installation over
// an earlier one keeps the user's settings: only values that are not stored
// yet are written, and other values of the key are left as they are. The
// values and their first values are the installer's rows of the settings
// table (settings/settings_schema.h).
#pragma once

#include <string_view>

namespace lumigal::platform {
class Registry;
}

namespace lumigal::install {

// Creates or opens the key and writes each of the seventeen values that it
// does not hold yet (or holds in a form the program cannot read).
// `installPath` always gets `installFolder`; the folders a user works in,
// `pathSave` and `pathLaunch`, get `workFolder` (on this platform the
// user's pictures folder, xdg_dirs.h), also when they still name the
// earlier installation folder (that was the installation's value, not a
// choice). Nothing is reported: a key that cannot be made gets no value, a
// value that cannot be set is skipped.
void writeDefaultSettings(platform::Registry& registry, std::string_view installFolder,
                          std::string_view workFolder);

}  // namespace lumigal::install
