// The product files that the setup program installs, in installation order.
// Every source is read from the setup program's own folder and every file is
// written into the install folder under its installed name; a source name is
// the installed name with the last character of its extension replaced by
// "_" (the compressed-file naming), and the table gives both names.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumigal::install {

struct FileEntry {
    std::string_view sourceName;
    std::string_view installedName;
    bool executable;  // installed with the execute permission
};

std::span<const FileEntry> fileTable();

// The folder, beside the manual, of the pictures of the windows it shows;
// the same name in the setup folder and in the install folder.
std::string_view manualPicturesFolder();

// The manual's pictures that the setup folder holds: their source and
// installed names under manualPicturesFolder() ("main-window.pn_" gives
// "screenshots/main-window.pn_" and "screenshots/main-window.png"), in
// name order. None when the folder is missing.
struct PictureEntry {
    std::string sourceName;
    std::string installedName;
    FileEntry entry() const { return {sourceName, installedName, false}; }
};
std::vector<PictureEntry> manualPictures(std::string_view setupFolder);

// Installed names that other parts of the installer refer to.
std::string_view programFileName();  // the main program
std::string_view readMeFileName();
std::string_view uninstallerFileName();
std::string_view helpFileName();
std::string_view iconFileName();  // the program icon (empty where the program carries its own)

}  // namespace lumigal::install
