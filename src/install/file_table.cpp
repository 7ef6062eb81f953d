#include "install/file_table.h"

#include <dirent.h>

#include <algorithm>
#include <array>
#include <memory>

#include "common/paths.h"

namespace lumigal::install {

namespace {

constexpr std::array<FileEntry, 6> kFileTable = {{
    {"Lumigal._", "Lumigal", true},
    {"lumigal-batch._", "lumigal-batch", true},
    {"uninst._", "uninst", true},
    {"Lumigal.htm_", "Lumigal.html", false},
    {"Lumigal.pn_", "Lumigal.png", false},
    {"whatsnewe.tx_", "whatsnewe.txt", false},
}};
constexpr std::string_view kProgram = "Lumigal";
constexpr std::string_view kUninstaller = "uninst";
constexpr std::string_view kHelp = "Lumigal.html";
constexpr std::string_view kIcon = "Lumigal.png";

}  // namespace

std::span<const FileEntry> fileTable() { return kFileTable; }

std::string_view manualPicturesFolder() { return "screenshots"; }

std::vector<PictureEntry> manualPictures(std::string_view setupFolder) {
    std::vector<PictureEntry> pictures;
    const std::string folder = joinPath(std::string(setupFolder), std::string(manualPicturesFolder()));
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return pictures;
    const std::string prefix = std::string(manualPicturesFolder()) + kPathSeparator;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        // Compressed pictures only: "x.pn_" installs as "x.png".
        if (name.size() < 5 || name[0] == '.' || name.compare(name.size() - 4, 4, ".pn_") != 0)
            continue;
        pictures.push_back({prefix + name, prefix + name.substr(0, name.size() - 1) + "g"});
    }
    std::sort(pictures.begin(), pictures.end(),
              [](const PictureEntry& a, const PictureEntry& b) { return a.sourceName < b.sourceName; });
    return pictures;
}

std::string_view programFileName() { return kProgram; }
std::string_view readMeFileName() { return "whatsnewe.txt"; }
std::string_view uninstallerFileName() { return kUninstaller; }
std::string_view helpFileName() { return kHelp; }
std::string_view iconFileName() { return kIcon; }

}  // namespace lumigal::install
