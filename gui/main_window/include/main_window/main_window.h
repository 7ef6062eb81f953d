// The program's only main window: a non-native open-file window used as a
// browser of image folders, extended with the destination panel, the menu
// bar and three toolbars (quit; the two selection check buttons; help and
// create page). It never accepts: it stays open for any number of pages and
// closes only through its cancel path (Escape, the close box, "&Quitter",
// the quit button). `onDestroyed` runs exactly once, when the window is
// destroyed, whichever way it was closed (the program saves its settings
// there).
#pragma once

#include <QFileDialog>
#include <functional>
#include <string>

#include "album/settings.h"
#include "common/selected_files.h"
#include "selection/folder_scan.h"

class QLineEdit;
class QToolButton;
class QAction;

namespace lumigal {

class MainWindow : public QFileDialog {
    Q_OBJECT
public:
    // Command identifiers, used as object names of the window's actions.
    static constexpr int kQuit = 106;
    static constexpr int kPreferences = 108;
    static constexpr int kAbout = 105;
    static constexpr int kHelp = 113;
    static constexpr int kSelectFolder = 1124;
    static constexpr int kSelectTree = 1125;
    static constexpr int kCreatePage = 1126;
    static constexpr int kDestinationHelpContext = 200;

    MainWindow(Preferences& prefs, PageSettings& page, std::string helpFilePath,
               std::function<void()> onDestroyed, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The file types offered, in order, as shown (without patterns).
    static QStringList fileTypeTexts();
    // The scan formats that file type `index` (1 to 7) leaves on; other
    // indexes give nullopt-like `false` and change nothing.
    static bool formatsForType(int index, ScanFormats& formats);
    // The tooltip of command `command`; empty for commands not in the table.
    static QString tooltipFor(int command);

    const ScanFormats& scanFormats() const { return formats_; }
    SelectedFileList& selectedFiles() { return files_; }
    QLineEdit* destinationField() const { return destination_; }
    QLineEdit* fileNameBox() const { return fileNameEdit_; }
    QToolButton* selectFolderButton() const { return selectFolder_; }
    QToolButton* selectTreeButton() const { return selectTree_; }
    QToolButton* createPageButton() const { return createPage_; }
    QToolButton* quitButton() const { return quit_; }
    Preferences& prefs() { return prefs_; }
    PageSettings& page() { return page_; }
    const std::string& helpFilePath() const { return helpFilePath_; }

    // Runs the create-page command (the last button of the action toolbar).
    void createPage();
    // Empties the file-name box (and the list's selection behind it).
    void clearFileNameBox();
    // Fills the destination field from the folder browser.
    void browseDestination();

public slots:
    // Refuses every confirmation; a folder typed into the file-name box is
    // still opened.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildPanel();
    void buildMenu();
    void applyFileType(int index);

    Preferences& prefs_;
    PageSettings& page_;
    std::string helpFilePath_;
    std::function<void()> onDestroyed_;
    ScanFormats formats_;
    SelectedFileList files_;
    QStringList filters_;
    QLineEdit* destination_ = nullptr;
    QToolButton* browse_ = nullptr;
    QLineEdit* fileNameEdit_ = nullptr;
    QToolButton* selectFolder_ = nullptr;
    QToolButton* selectTree_ = nullptr;
    QToolButton* createPage_ = nullptr;
    QToolButton* help_ = nullptr;
    QToolButton* quit_ = nullptr;
};

}  // namespace lumigal
