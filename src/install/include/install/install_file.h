// Installation of one product file: expanded (or copied) from the setup
// folder into the install folder, with the two progress lines and the
// Ignore/Quit choice on each error.
//
// The file is written to a temporary name in the install folder and renamed
// over the installed name only when it is complete, so a failed or ignored
// file never empties or damages an installed one. Nothing is written
// outside the install folder.
#pragma once

#include <string>
#include <string_view>

#include "install/file_table.h"

namespace lumigal::install {

// The three file messages, numbered as the program's string table numbers them.
enum class FileMessage {
    SourceNotFound = 3,  // the source cannot be opened
    CopyFailed = 5,      // the expansion or copy fails
    CannotCreate = 6,    // the destination cannot be created
};

// The message text with its three placeholders filled with a drive, a folder
// with its trailing separator and a file name.
std::string fileMessageText(FileMessage message, std::string_view drive, std::string_view folder,
                            std::string_view name);

enum class FileErrorChoice { Ignore, Quit };

// What the installation shows to the user: the wizard's ready page, the
// silent installation, or a test.
class InstallObserver {
public:
    virtual ~InstallObserver() = default;
    // The two progress lines: "Copy from: ..." and "To: ...".
    virtual void showProgress(const std::string& from, const std::string& to) = 0;
    // The file error box with its two choices.
    virtual FileErrorChoice fileError(FileMessage message, const std::string& text) = 0;
};

// Installs `entry` from `setupFolder` (ending with a separator) into
// `installFolder`. Returns false when the user chose "Quitter", true when the
// file is installed or its errors were ignored. `installedPath` receives the
// installed file's path when it was put in place, and is left alone otherwise.
bool installFile(InstallObserver& observer, std::string_view setupFolder,
                 std::string_view installFolder, const FileEntry& entry,
                 std::string* installedPath = nullptr);

}  // namespace lumigal::install
