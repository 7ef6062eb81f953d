// The create-page command: from the main window's selection to a finished
// page. It checks the shown folder and the destination (a missing one is
// offered to be made, an unwritable one is refused with the reason),
// gathers the selection (a folder scan when a selection button is pressed,
// the quoted names or the single name of the file-name box otherwise), runs
// the page creation dialog (an existing page is replaced only when the user
// says so), writes the page while the progress box is shown, beeps when
// asked, releases both selection buttons, clears the file-name box and
// opens the page in the browser when it was written and `launch` is on
// (otherwise a notice says where it is and offers to open it or its folder).
// The scan and the generation run off the GUI thread (background_work.h):
// the window keeps answering, and « Annuler » in their boxes stops them,
// the previous page staying as it was and the window ready for the next.
// The settings are saved once the page creation dialog has stored them.
// Every message goes through MessageBoxHandler with the identifiers below.
#pragma once

#include <QString>
#include <functional>
#include <string>

namespace lumigal {

class MainWindow;

namespace createpage {
inline constexpr const char* kSourceMissing = "sourceFolderMissing";
inline constexpr const char* kDestinationMissing = "destinationMissing";
inline constexpr const char* kSelectionEmpty = "selectionEmpty";
inline constexpr const char* kFileMissing = "fileMissing";
inline constexpr const char* kNothingFound = "nothingFound";
inline constexpr const char* kImagesFailed = "imagesFailed";
inline constexpr const char* kFoldersSkipped = "foldersSkipped";
inline constexpr const char* kDestinationCreate = "destinationCreate";
inline constexpr const char* kDestinationNotMade = "destinationNotMade";
inline constexpr const char* kDestinationUnwritable = "destinationUnwritable";
inline constexpr const char* kPageExists = "pageExists";
inline constexpr const char* kPageWritten = "pageWritten";
inline constexpr const char* kLocationsRemoved = "locationsRemoved";

// The sentence telling how many copies lost where they were taken; empty
// for none.
QString locationsRemovedLine(int copies);

// How the new page (or its folder) is shown; tests replace it. An empty
// opener brings the desktop's browser back.
using PageOpener = std::function<void(const std::string& pagePath)>;
void setPageOpener(PageOpener opener);

// Which gathering a run does, from the state of the window.
enum class Gathering { ScanFolder, ScanTree, Multiple, Single };
Gathering chooseGathering(bool folderPressed, bool treePressed, const QString& selectionText);
}  // namespace createpage

void RunCreatePage(MainWindow& window);

}  // namespace lumigal
