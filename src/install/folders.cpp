#include "install/folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "common/paths.h"
#include "platform/unique_fd.h"
#include "install/xdg_dirs.h"

namespace lumigal::install {

namespace {

bool makeFolder(const std::string& path) {
    return !path.empty() && ::mkdir(path.c_str(), 0755) == 0;
}

std::string currentFolder() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::vector<std::string> createFolderPath(std::string_view path) {
    std::vector<std::string> made;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != kPathSeparator) continue;
        std::string level(path.substr(0, i));
        if (makeFolder(level)) made.push_back(std::move(level));
    }
    std::string whole(path);
    if (makeFolder(whole)) made.push_back(std::move(whole));
    return made;
}

bool folderIsWritable(std::string_view folder) {
    std::string name(folder);
    name += kPathSeparator;
    name += "HXXXXXX.tmp";
    collapseSeparators(name);
    platform::UniqueFd fd(::mkostemps(name.data(), 4, O_CLOEXEC));
    if (!fd) return false;
    fd.close();
    ::unlink(name.c_str());
    return true;
}

std::string normaliseTypedFolder(std::string_view typed) {
    std::string folder(typed);
    if (folder.empty()) return folder;
    if (folder == "~" || folder.starts_with("~/")) {
        if (const std::optional<std::string> home = homeFolder()) {
            folder.replace(0, 1, *home);
        }
    }
    if (folder.front() != kPathSeparator) {
        const std::string here = currentFolder();
        if (!here.empty()) folder = here + kPathSeparator + folder;
    }
    collapseSeparators(folder);
    return folder;
}

std::string ownProgramFolder() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size() - 1) return {};
    std::string path(buffer.data(), static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind(kPathSeparator);
    if (slash == std::string::npos) return {};
    path.resize(slash + 1);
    return path;
}

std::vector<std::string> removeEmptyFolders(std::vector<std::string> folders) {
    // A folder sorts after every folder inside it when ordered by length.
    std::stable_sort(
        folders.begin(), folders.end(),
        [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    std::vector<std::string> removed;
    for (const std::string& folder : folders) {
        if (!folder.empty() && ::rmdir(folder.c_str()) == 0) removed.push_back(folder);
    }
    return removed;
}

}  // namespace lumigal::install
