// The create-page command: from the main window's selection to a finished
// page. It checks the shown folder and the destination, gathers the
// selection (a folder scan when a selection button is pressed, the quoted
// names or the single name of the file-name box otherwise), runs the page
// creation dialog, writes the page while the progress box is shown, beeps
// when asked, releases both selection buttons, clears the file-name box and
// opens the page in the browser when it was written and `launch` is on.
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

// How the new page is shown; tests replace it. An empty opener brings the
// desktop's browser back.
using PageOpener = std::function<void(const std::string& pagePath)>;
void setPageOpener(PageOpener opener);

// Which gathering a run does, from the state of the window.
enum class Gathering { ScanFolder, ScanTree, Multiple, Single };
Gathering chooseGathering(bool folderPressed, bool treePressed, const QString& selectionText);
}  // namespace createpage

void RunCreatePage(MainWindow& window);

}  // namespace lumigal
