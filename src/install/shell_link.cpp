#include "install/shell_link.h"

#include "install/desktop_entry.h"

namespace lumigal::install {

std::string shellLinkFileName(std::string_view name) { return std::string(name) + ".desktop"; }

LinkStatus writeShellLink(std::string_view target, const std::string& linkPath,
                          std::string_view description, std::string_view icon) {
    std::string_view name = linkPath;
    if (const std::size_t slash = name.rfind('/'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    constexpr std::string_view kSuffix = ".desktop";
    if (name.ends_with(kSuffix)) name.remove_suffix(kSuffix.size());
    if (name.empty() || !isDesktopSafeText(target) || !isDesktopSafeText(name) ||
        !isDesktopSafeText(description) || !isDesktopSafeText(icon)) {
        return LinkStatus::BadText;
    }
    DesktopKeys keys = {{"Type", "Application"},
                        {"Name", std::string(name)},
                        {"Comment", std::string(description)},
                        {"Exec", quoteExecArgument(target)}};
    if (!icon.empty()) keys.emplace_back("Icon", std::string(icon));
    keys.emplace_back("Terminal", "false");
    return writeFileAtomically(linkPath, desktopEntryText(keys), 0755) ? LinkStatus::Ok
                                                                       : LinkStatus::WriteFailed;
}

}  // namespace lumigal::install
