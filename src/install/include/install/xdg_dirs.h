// The user's folders as the freedesktop conventions name them, read from the
// environment ($HOME, $XDG_DATA_HOME, $XDG_CONFIG_HOME, user-dirs.dirs).
#pragma once

#include <optional>
#include <string>

namespace lumigal::install {

// $HOME when it is absolute, else the home folder of the user's account;
// nothing when neither is known.
std::optional<std::string> homeFolder();
// $XDG_DATA_HOME when absolute, else ~/.local/share.
std::optional<std::string> dataHome();
// $XDG_CONFIG_HOME when absolute, else ~/.config.
std::optional<std::string> configHome();

// The Start-menu root: the user's applications folder (dataHome/applications).
std::optional<std::string> startMenuRoot();

// The user's desktop folder by the rules of xdg-user-dir: XDG_DESKTOP_DIR of
// configHome/user-dirs.dirs ("$HOME/..." or an absolute path), else
// ~/Desktop. Nothing when it cannot be determined: no home folder for a
// "$HOME" path, a relative or malformed entry, or an entry naming the home
// folder itself (the convention for "no desktop folder").
std::optional<std::string> desktopFolder();

// The user's pictures folder: XDG_PICTURES_DIR of user-dirs.dirs by the
// same rules; nothing without that entry (xdg-user-dir then names the home
// folder) or when it cannot be determined.
std::optional<std::string> picturesFolder();

// Where the user's albums start and go by default: the pictures folder when
// it is an existing folder, else the home folder; nothing when neither is
// known.
std::optional<std::string> userWorkFolder();

// The default install folder: ~/.local/opt/Lumigal.
std::optional<std::string> defaultInstallFolder();

}  // namespace lumigal::install
