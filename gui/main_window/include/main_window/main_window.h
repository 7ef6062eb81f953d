// The program's only main window: a non-native open-file window used as a
// browser of image folders, extended with the destination panel, the menu
// bar and three toolbars (quit; the two selection check buttons; help and
// create page). It never accepts: it stays open for any number of pages and
// closes only through its cancel path (Escape, the close box, "&Quitter",
// the quit button). `onDestroyed` runs exactly once, when the window is
// destroyed, whichever way it was closed (the program saves its settings
// there); the settings saver also runs as soon as a dialog's OK has stored
// settings, so a killed program loses none.
//
// While a scan or a generation runs (its box blocks the window), Escape and
// the quit commands do nothing; the close box asks, and on « Oui » stops
// the work and closes the window once it has stopped.
//
// Every button is reached by Tab and by its mnemonic (Alt+D, Alt+S, Alt+I,
// Alt+C, Alt+Q); « Créer » is also in the « Lumigal » menu (Ctrl+Entrée).
#pragma once

#include <QFileDialog>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "album/settings.h"
#include "common/selected_files.h"
#include "selection/folder_scan.h"

class QAbstractItemView;
class QLineEdit;
class QToolButton;
class QAction;

namespace lumigal {

class WorkBox;

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
    // Message identifier (MessageBoxHandler): closing during work.
    static constexpr const char* kStopAndQuit = "stopAndQuit";

    MainWindow(Preferences& prefs, PageSettings& page, std::string helpFilePath,
               std::function<void()> onDestroyed, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The file types offered, in order, as shown (without patterns).
    static QStringList fileTypeTexts();
    // The scan formats that file type `index` (1 to 7) leaves on; other
    // indexes give nullopt-like `false` and change nothing.
    static bool formatsForType(int index, ScanFormats& formats);
    // The file type to choose for images of the `present` families: the
    // narrowest choice that takes them all.
    static QString typeToChoose(const ScanFormats& present);
    // The families of images that `paths` hold (by their extensions).
    static ScanFormats familiesOf(const std::vector<std::string>& paths);
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

    // Saves the settings now (see the class comment); without a saver, nothing.
    void setSettingsSaver(std::function<void()> saver) { saveSettings_ = std::move(saver); }
    void saveSettings();

    // Brings the window to the front, restored when it was minimised (a
    // second copy of the program asks for it).
    void bringToFront();

    // Marks the window busy while `box` shows work, for the lifetime of
    // the object.
    class WorkInProgress {
    public:
        WorkInProgress(MainWindow& window, WorkBox& box);
        ~WorkInProgress();
        WorkInProgress(const WorkInProgress&) = delete;
        WorkInProgress& operator=(const WorkInProgress&) = delete;

    private:
        MainWindow& window_;
    };
    bool working() const { return !work_.isNull(); }
    // The user closed the window during work: it closes once the work ends.
    bool quitRequested() const { return quitRequested_; }

public slots:
    // Refuses every confirmation; a folder typed into the file-name box is
    // still opened.
    void accept() override;
    // Closes the window, unless work is running.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildPanel();
    void buildMenu();
    void applyFileType(int index);
    void fitColumns();

    Preferences& prefs_;
    PageSettings& page_;
    std::string helpFilePath_;
    std::function<void()> onDestroyed_;
    std::function<void()> saveSettings_;
    QPointer<WorkBox> work_;
    bool quitRequested_ = false;
    ScanFormats formats_;
    SelectedFileList files_;
    QStringList filters_;
    QLineEdit* destination_ = nullptr;
    QToolButton* browse_ = nullptr;
    QAbstractItemView* sideBar_ = nullptr;
    QLineEdit* fileNameEdit_ = nullptr;
    QToolButton* selectFolder_ = nullptr;
    QToolButton* selectTree_ = nullptr;
    QToolButton* createPage_ = nullptr;
    QToolButton* help_ = nullptr;
    QToolButton* quit_ = nullptr;
};

}  // namespace lumigal
