// Shortcut files. Where Windows saves a shell link (.lnk), this system writes
// a desktop-entry launcher (.desktop): the target in Exec (quoted), the
// description in Comment, the name of the file (without .desktop) as its Name
// and the program icon. An existing file of the same name is replaced.
#pragma once

#include <string>
#include <string_view>

namespace lumigal::install {

enum class LinkStatus { Ok, BadText, WriteFailed };

// Writes the launcher `linkPath` (ending with ".desktop") for `target`.
// `icon` may be empty. The file is made executable, as desktops ask of
// launchers placed on them.
LinkStatus writeShellLink(std::string_view target, const std::string& linkPath,
                          std::string_view description, std::string_view icon);

// The shortcut file name that stands for "<name>.lnk".
std::string shellLinkFileName(std::string_view name);

}  // namespace lumigal::install
