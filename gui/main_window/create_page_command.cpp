#include "main_window/create_page_command.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QThread>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "album/page_writer.h"
#include "message_box/message_box_handler.h"
#include "dialogs/page_creation_dialog.h"
#include "dialogs/progress_box.h"
#include "dialogs/wait_box.h"
#include "selection/folder_scan.h"
#include "selection/gather_selection.h"
#include "main_window/main_window.h"

namespace lumigal {
namespace createpage {
namespace {
PageOpener& pageOpener() {
    static PageOpener opener;
    return opener;
}

void openPage(const std::string& pagePath) {
    if (pageOpener()) {
        pageOpener()(pagePath);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(pagePath)));
}

// The wait cursor for the gathering; put back on every way out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    void restore() {
        if (active_) QApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

bool pressed(const QToolButton* button) { return button->isChecked() && button->isEnabled(); }

// `heading` then the first ten lines of `lines`, and how many more there are.
QString listText(QString heading, const std::vector<QString>& lines) {
    const std::size_t shownCount = std::min<std::size_t>(lines.size(), 10);
    for (std::size_t i = 0; i < shownCount; ++i) heading += QLatin1Char('\n') + lines[i];
    if (lines.size() > shownCount)
        heading += QStringLiteral("\n... et %1 autres.").arg(lines.size() - shownCount);
    return heading;
}
}  // namespace

void setPageOpener(PageOpener opener) { pageOpener() = std::move(opener); }

Gathering chooseGathering(bool folderPressed, bool treePressed, const QString& selectionText) {
    if (treePressed) return Gathering::ScanTree;
    if (folderPressed) return Gathering::ScanFolder;
    return selectionText.contains(QLatin1Char('"')) ? Gathering::Multiple : Gathering::Single;
}
}  // namespace createpage

void RunCreatePage(MainWindow& window) {
    using namespace createpage;
    SelectedFileList& files = window.selectedFiles();

    const QFileInfo shown(window.directory().absolutePath());
    if (!shown.isDir()) {
        MessageBoxHandler::critical(
            &window, kSourceMissing,
            QStringLiteral("Vous n'avez pas sélectionné le dossier source..."));
        files.clear();
        return;
    }
    std::string sourceFolder = QDir::cleanPath(shown.absoluteFilePath()).toStdString();

    const QString destination = window.destinationField()->text().trimmed();
    if (destination.isEmpty()) {
        MessageBoxHandler::critical(
            &window, kDestinationMissing,
            QStringLiteral("Vous n'avez pas sélectionné le dossier d'accueil..."));
        files.clear();
        return;
    }
    window.page().pageFolder = destination.toStdString();

    const bool folderPressed = pressed(window.selectFolderButton());
    const bool treePressed = pressed(window.selectTreeButton());
    QString selectionText;
    if (!folderPressed && !treePressed) {
        selectionText = window.fileNameBox()->text();
        if (selectionText.isEmpty()) {
            MessageBoxHandler::critical(
                &window, kSelectionEmpty,
                QStringLiteral("Vous n'avez pas sélectionné d'images à placer dans les feuilles "
                               "HTML...\nSélectionnez une ou plusieurs images ou cliquez sur le "
                               "bouton Sélection de tous les fichiers."));
            return;
        }
    }

    WaitCursor cursor;
    files.clear();
    int count = 0;
    std::vector<std::string> skippedFolders;
    switch (chooseGathering(folderPressed, treePressed, selectionText)) {
        case Gathering::ScanFolder:
        case Gathering::ScanTree: {
            WaitBox box(&window);
            box.repaint();
            count = treePressed ? ScanFolderTree(&box, sourceFolder, window.scanFormats(), files)
                                : ScanFolder(&box, sourceFolder, window.scanFormats(), files);
            skippedFolders = box.skippedFolders();
            break;
        }
        case Gathering::Multiple:
            count = GatherSelection(selectionText.toStdString(), sourceFolder, files);
            break;
        case Gathering::Single: {
            const std::string path = joinSourcePath(sourceFolder, selectionText.toStdString());
            files.add(path);
            const QFileInfo info(QString::fromStdString(path));
            if (!info.isFile() || !info.isReadable()) {
                cursor.restore();
                files.clear();
                MessageBoxHandler::critical(
                    &window, kFileMissing,
                    QStringLiteral("Le fichier %1 n'existe pas ou n'est pas accessible...")
                        .arg(QString::fromStdString(path)));
                return;
            }
            count = 1;
            break;
        }
    }
    cursor.restore();

    if (!skippedFolders.empty()) {
        std::vector<QString> lines;
        for (const std::string& folder : skippedFolders)
            lines.push_back(QString::fromStdString(folder));
        MessageBoxHandler::warning(
            &window, kFoldersSkipped,
            listText(QStringLiteral("Ces sous-dossiers n'ont pas pu être lus ; leurs images ne "
                                    "sont pas dans la liste :"),
                     lines));
    }

    if (count == 0) {
        MessageBoxHandler::information(&window, kNothingFound,
                                       QStringLiteral("Aucun fichier trouvé..."));
        return;
    }

    {
        PageCreationDialog dialog(window.page(), window.prefs(), window.helpFilePath(), count,
                                  sourceFolder, &window);
        if (dialog.exec() != QDialog::Accepted) return;
    }

    int result = 1;
    std::vector<ProgressBox::ImageFailure> failures;
    {
        ProgressBox progress(&window);
        progress.repaint();
        progress.setRange(count);
        result = GenerateAlbumPage(count, window.page(), window.prefs(), files, progress);
        if (window.prefs().bip) QApplication::beep();
        progress.repaint();
        QThread::msleep(100);
        failures = progress.imageFailures();
    }

    window.selectFolderButton()->setChecked(false);
    window.selectTreeButton()->setChecked(false);
    window.clearFileNameBox();

    if (!failures.empty()) {
        std::vector<QString> lines;
        for (const ProgressBox::ImageFailure& failure : failures)
            lines.push_back(QStringLiteral("%1 (%2)").arg(QString::fromStdString(failure.path),
                                                          QString::fromStdString(failure.reason)));
        MessageBoxHandler::warning(
            &window, kImagesFailed,
            listText(QStringLiteral("Certaines images n'ont pas pu être placées dans la page :"),
                     lines));
    }

    if (result == 0 && window.prefs().launch) openPage(window.page().pagePath);
}

}  // namespace lumigal
