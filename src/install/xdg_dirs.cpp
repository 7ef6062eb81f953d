#include "install/xdg_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>
#include <vector>

namespace lumigal::install {

namespace {

std::optional<std::string> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return std::nullopt;
    return std::string(value);
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::optional<std::string> belowHome(std::string_view rest) {
    const std::optional<std::string> home = homeFolder();
    if (!home) return std::nullopt;
    return withoutTrailingSlashes(*home) + std::string(rest);
}

// The value of a user-dirs.dirs line `NAME="..."`: the text between the
// quotes with backslash escapes removed; nothing when the line is malformed.
std::optional<std::string> quotedValue(std::string_view text) {
    if (text.size() < 2 || text.front() != '"') return std::nullopt;
    std::string value;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            value += text[++i];
        } else if (c == '"') {
            return value;
        } else {
            value += c;
        }
    }
    return std::nullopt;
}

// A folder of user-dirs.dirs by the rules of xdg-user-dir (see
// desktopFolder), `withoutEntry` (below the home folder) being where it
// lies without an entry; none: no folder then.
std::optional<std::string> userDirectory(std::string_view name,
                                         std::optional<std::string_view> withoutEntry) {
    std::optional<std::string> entry;
    bool malformed = false;
    if (const std::optional<std::string> config = configHome()) {
        std::ifstream file(withoutTrailingSlashes(*config) + "/user-dirs.dirs");
        std::string line;
        while (std::getline(file, line)) {
            const std::size_t start = line.find_first_not_of(" \t");
            if (start == std::string::npos || line.compare(start, name.size(), name) != 0 ||
                line.compare(start + name.size(), 1, "=") != 0) {
                continue;
            }
            entry = quotedValue(std::string_view(line).substr(start + name.size() + 1));
            malformed = !entry.has_value();
        }
    }
    if (malformed) return std::nullopt;

    std::optional<std::string> folder;
    if (!entry) {
        if (withoutEntry) folder = belowHome(*withoutEntry);
    } else if (entry->starts_with("$HOME")) {
        const std::string_view rest = std::string_view(*entry).substr(5);
        if (!rest.empty() && rest.front() != '/') return std::nullopt;
        folder = belowHome(rest);
    } else if (!entry->empty() && entry->front() == '/') {
        folder = *entry;
    }
    if (!folder) return std::nullopt;
    *folder = withoutTrailingSlashes(*folder);
    const std::optional<std::string> home = homeFolder();
    if (home && *folder == withoutTrailingSlashes(*home)) return std::nullopt;
    return folder;
}

}  // namespace

std::optional<std::string> homeFolder() {
    if (std::optional<std::string> home = absoluteVariable("HOME")) return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return std::string(found->pw_dir);
    }
    return std::nullopt;
}

std::optional<std::string> dataHome() {
    if (std::optional<std::string> dir = absoluteVariable("XDG_DATA_HOME")) return dir;
    return belowHome("/.local/share");
}

std::optional<std::string> configHome() {
    if (std::optional<std::string> dir = absoluteVariable("XDG_CONFIG_HOME")) return dir;
    return belowHome("/.config");
}

std::optional<std::string> startMenuRoot() {
    const std::optional<std::string> data = dataHome();
    if (!data) return std::nullopt;
    return withoutTrailingSlashes(*data) + "/applications";
}

std::optional<std::string> desktopFolder() { return userDirectory("XDG_DESKTOP_DIR", "/Desktop"); }

std::optional<std::string> picturesFolder() { return userDirectory("XDG_PICTURES_DIR", {}); }

std::optional<std::string> userWorkFolder() {
    if (const std::optional<std::string> pictures = picturesFolder()) {
        struct stat info{};
        if (::stat(pictures->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return pictures;
    }
    if (const std::optional<std::string> home = homeFolder()) return withoutTrailingSlashes(*home);
    return std::nullopt;
}

std::optional<std::string> defaultInstallFolder() { return belowHome("/.local/opt/Lumigal"); }

}  // namespace lumigal::install
