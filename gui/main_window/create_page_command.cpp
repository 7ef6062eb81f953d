#include "main_window/create_page_command.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QToolButton>
#include <QUrl>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "album/page_writer.h"
#include "message_box/message_box_handler.h"
#include "dialogs/page_creation_dialog.h"
#include "dialogs/progress_box.h"
#include "dialogs/wait_box.h"
#include "platform/system_error.h"
#include "main_window/background_work.h"
#include "selection/folder_scan.h"
#include "selection/gallery_run.h"
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

void releaseSelectionButtons(MainWindow& window) {
    window.selectFolderButton()->setChecked(false);
    window.selectTreeButton()->setChecked(false);
}

// When a scan found nothing of the chosen type: how many images of other
// types the folder holds, and the type that takes them; empty when none.
QString leftOutHint(const std::string& folder, bool tree) {
    SelectedFileList every;
    const ScanFormats all;
    const int found =
        tree ? ScanFolderTree(nullptr, folder, all, every) : ScanFolder(nullptr, folder, all, every);
    if (found == 0) return {};
    const QString type = MainWindow::typeToChoose(MainWindow::familiesOf(every.selectedFiles()));
    return found == 1
               ? QStringLiteral("\n\nUne image du dossier n'est pas du type de fichiers choisi : "
                                "pour la prendre, choisissez le type « %1 ».")
                     .arg(type)
               : QStringLiteral("\n\n%1 images du dossier ne sont pas du type de fichiers "
                                "choisi : pour les prendre, choisissez le type « %2 ».")
                     .arg(found)
                     .arg(type);
}

// Why a folder with no image at its top looks empty when its sub-folders
// hold images of the chosen type; empty otherwise.
QString subFolderHint(const std::string& folder, const ScanFormats& formats) {
    SelectedFileList below;
    const int found = ScanFolderTree(nullptr, folder, formats, below);
    if (found == 0) return {};
    return QStringLiteral("\n\nLes images de ce dossier sont dans ses sous-dossiers (%1 trouvées) : "
                          "pour les prendre, pressez le bouton « Sous-dossiers » ou cochez "
                          "« Galerie : un album par dossier ».")
        .arg(found);
}

// `heading` then the first ten lines of `lines`, and how many more there are.
QString listText(QString heading, const std::vector<QString>& lines);

QString shown(const std::string& path) { return QDir::toNativeSeparators(QString::fromStdString(path)); }

// A question with « Oui » and « Non »; true for « Oui ».
bool askYesNo(QWidget* parent, const char* identifier, const QString& text, bool yesByDefault) {
    const MessageRecord message{
        QString::fromUtf8(identifier),
        QMessageBox::Question,
        QString::fromUtf8(kProgramCaption),
        text,
        QMessageBox::Yes | QMessageBox::No,
        yesByDefault ? QMessageBox::Yes : QMessageBox::No,
        {{QMessageBox::Yes, QStringLiteral("&Oui")}, {QMessageBox::No, QStringLiteral("&Non")}}};
    return MessageBoxHandler::show(parent, message) == QMessageBox::Yes;
}

// The destination folder exists (made at the user's word) and takes files.
bool destinationReady(QWidget* parent, const QString& folder) {
    const QFileInfo info(folder);
    if (!info.exists()) {
        if (!askYesNo(parent, kDestinationCreate,
                      QStringLiteral("Le dossier d'accueil %1 n'existe pas. Le créer ?")
                          .arg(QDir::toNativeSeparators(folder)),
                      true))
            return false;
        if (!QDir().mkpath(folder)) {
            const int err = errno;
            MessageBoxHandler::critical(
                parent, kDestinationNotMade,
                QStringLiteral("Impossible de créer le dossier d'accueil %1 : %2")
                    .arg(QDir::toNativeSeparators(folder),
                         QString::fromStdString(
                             platform::errnoText(err, platform::FileAccess::Writing))));
            return false;
        }
        return true;
    }
    int err = 0;
    if (!info.isDir()) {
        err = ENOTDIR;
    } else if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0) {
        err = errno;
    }
    if (err == 0) return true;
    MessageBoxHandler::critical(
        parent, kDestinationUnwritable,
        QStringLiteral("Impossible d'écrire dans le dossier d'accueil %1 : %2")
            .arg(QDir::toNativeSeparators(folder),
                 QString::fromStdString(platform::errnoText(err, platform::FileAccess::Writing))));
    return false;
}

// Where the browser is not opened: the page is written, and where, then
// `notice` when there is one.
void announcePage(QWidget* parent, const std::string& pagePath, const QString& notice) {
    QString text = QStringLiteral("La page %1 est écrite.").arg(shown(pagePath));
    if (!notice.isEmpty()) text += QStringLiteral("\n\n") + notice;
    const MessageRecord message{
        QString::fromUtf8(kPageWritten),
        QMessageBox::Information,
        QString::fromUtf8(kProgramCaption),
        text,
        QMessageBox::Open | QMessageBox::Apply | QMessageBox::Close,
        QMessageBox::Close,
        {{QMessageBox::Open, QStringLiteral("Ouvrir la &page")},
         {QMessageBox::Apply, QStringLiteral("Ouvrir le &dossier")},
         {QMessageBox::Close, QStringLiteral("&Fermer")}}};
    const QMessageBox::StandardButton answer = MessageBoxHandler::show(parent, message);
    if (answer == QMessageBox::Open) openPage(pagePath);
    if (answer == QMessageBox::Apply)
        openPage(QFileInfo(QString::fromStdString(pagePath)).absolutePath().toStdString());
}

QString listText(QString heading, const std::vector<QString>& lines) {
    const std::size_t shownCount = std::min<std::size_t>(lines.size(), 10);
    for (std::size_t i = 0; i < shownCount; ++i) heading += QLatin1Char('\n') + lines[i];
    if (lines.size() > shownCount)
        heading += QStringLiteral("\n... et %1 autres.").arg(lines.size() - shownCount);
    return heading;
}
}  // namespace

void setPageOpener(PageOpener opener) { pageOpener() = std::move(opener); }

QString locationsRemovedLine(int copies) {
    if (copies <= 0) return {};
    return copies == 1 ? QStringLiteral("Lieu de prise de vue retiré d'une copie.")
                       : QStringLiteral("Lieu de prise de vue retiré de %1 copies.").arg(copies);
}

Gathering chooseGathering(bool folderPressed, bool treePressed, const QString& selectionText) {
    if (treePressed) return Gathering::ScanTree;
    if (folderPressed) return Gathering::ScanFolder;
    return selectionText.contains(QLatin1Char('"')) ? Gathering::Multiple : Gathering::Single;
}
}  // namespace createpage

void RunCreatePage(MainWindow& window) {
    using namespace createpage;
    SelectedFileList& files = window.selectedFiles();

    const QFileInfo shownFolder(window.directory().absolutePath());
    if (!shownFolder.isDir()) {
        MessageBoxHandler::critical(
            &window, kSourceMissing,
            QStringLiteral("Vous n'avez pas sélectionné le dossier source..."));
        files.clear();
        return;
    }
    std::string sourceFolder = QDir::cleanPath(shownFolder.absoluteFilePath()).toStdString();

    const QString destination = window.destinationField()->text().trimmed();
    if (destination.isEmpty()) {
        MessageBoxHandler::critical(
            &window, kDestinationMissing,
            QStringLiteral("Vous n'avez pas sélectionné le dossier d'accueil..."));
        files.clear();
        return;
    }

    const bool folderPressed = pressed(window.selectFolderButton());
    // A gallery takes the folder's tree, sub-folders and all.
    const bool treePressed =
        pressed(window.selectTreeButton()) || (folderPressed && window.page().gallery != 0);
    QString selectionText;
    if (!folderPressed && !treePressed) {
        selectionText = window.fileNameBox()->text();
        if (selectionText.isEmpty()) {
            MessageBoxHandler::critical(
                &window, kSelectionEmpty,
                QStringLiteral("Vous n'avez pas sélectionné d'images à placer dans les feuilles "
                               "HTML...\nSélectionnez une ou plusieurs images ou pressez le "
                               "bouton « Dossier » ou « Sous-dossiers »."));
            return;
        }
    }
    if (!destinationReady(&window, destination)) return;
    window.page().pageFolder = destination.toStdString();
    window.page().chosenFolders.clear();

    WaitCursor cursor;
    files.clear();
    int count = 0;
    std::vector<std::string> skippedFolders;
    switch (chooseGathering(folderPressed, treePressed, selectionText)) {
        case Gathering::ScanFolder:
        case Gathering::ScanTree: {
            WaitBox box(&window);
            const MainWindow::WorkInProgress work(window, box);
            QueuedScan observer(box);
            const ScanFormats formats = window.scanFormats();
            runInBackground([&] {
                count = treePressed ? ScanFolderTree(&observer, sourceFolder, formats, files)
                                    : ScanFolder(&observer, sourceFolder, formats, files);
            });
            if (box.cancelRequested()) {
                files.clear();
                releaseSelectionButtons(window);
                return;
            }
            skippedFolders = box.skippedFolders();
            window.page().chosenFolders = {sourceFolder};
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
        QString text = QStringLiteral("Aucun fichier trouvé...");
        if (folderPressed && !treePressed) {
            const QString below = subFolderHint(sourceFolder, window.scanFormats());
            text += below.isEmpty() ? leftOutHint(sourceFolder, false) : below;
        } else if (treePressed) {
            text += leftOutHint(sourceFolder, true);
        }
        MessageBoxHandler::information(&window, kNothingFound, text);
        return;
    }

    // The dialog again for another name while the user keeps an existing page.
    for (;;) {
        PageCreationDialog dialog(window.page(), window.prefs(), window.helpFilePath(), count,
                                  sourceFolder, &window);
        const int answer = dialog.exec();
        window.saveSettings();  // what its OK (or its thumbnail dialog's) stored
        if (answer != QDialog::Accepted) {
            // A cancel ends this command: « Dossier » does not stay down
            // for the next one, which the user starts afresh.
            releaseSelectionButtons(window);
            return;
        }
        const std::string& pagePath = window.page().pagePath;
        if (!QFileInfo::exists(QString::fromStdString(pagePath))) break;
        if (askYesNo(&window, kPageExists,
                     QStringLiteral("La page %1 existe déjà. La remplacer ?").arg(shown(pagePath)),
                     false))
            break;
    }

    int result = 1;
    std::vector<ProgressBox::ImageFailure> failures;
    int locationsRemoved = 0;
    {
        ProgressBox progress(&window);
        progress.setRange(count);
        const MainWindow::WorkInProgress work(window, progress);
        QueuedProgress observer(progress);
        const PageSettings page = window.page();
        const Preferences prefs = window.prefs();
        // A gallery takes the folder shown, sub-folders and all, or the
        // files chosen in it; its index is the page named in the dialog.
        GalleryRequest gallery;
        if (page.gallery) {
            gallery.inputs = folderPressed || treePressed ? std::vector<std::string>{sourceFolder}
                                                          : files.selectedFiles();
            gallery.formats = window.scanFormats();
            // Under the first type, every image, a gallery shows the videos beside them.
            const ScanFormats& f = gallery.formats;
            if (f.bmp && f.dib && f.gif && f.jpeg && f.png && f.xbm && f.webp && f.heic && f.avif && f.tiff) {
                gallery.formats.videos = VideoTypes::all();
            }
            gallery.date = galleryDate(std::time(nullptr));
        }
        runInBackground([&] {
            result = page.gallery ? MakeGallery(gallery, page, prefs, observer, nullptr)
                                  : GenerateAlbumPage(count, page, prefs, files, observer);
        });
        if (result != 2 && window.prefs().bip) QApplication::beep();
        failures = progress.imageFailures();
        locationsRemoved = progress.locationsRemovedCount();
    }
    if (result == 2) return;  // stopped: the previous page is as it was

    releaseSelectionButtons(window);
    window.clearFileNameBox();

    // Told once: with the failures when there are some, else with the notice
    // that the page is written.
    QString locationNotice = locationsRemovedLine(locationsRemoved);
    if (!failures.empty()) {
        std::vector<QString> lines;
        for (const ProgressBox::ImageFailure& failure : failures)
            lines.push_back(QStringLiteral("%1 (%2)").arg(QString::fromStdString(failure.path),
                                                          QString::fromStdString(failure.reason)));
        QString text =
            listText(QStringLiteral("Certaines images n'ont pas pu être placées dans la page :"),
                     lines);
        if (!locationNotice.isEmpty()) text += QStringLiteral("\n\n") + locationNotice;
        locationNotice.clear();
        MessageBoxHandler::warning(&window, kImagesFailed, text);
    }

    if (result != 0 || window.quitRequested()) return;
    if (window.prefs().launch) {
        if (!locationNotice.isEmpty())
            MessageBoxHandler::information(&window, kLocationsRemoved, locationNotice);
        openPage(window.page().pagePath);
    } else {
        announcePage(&window, window.page().pagePath, locationNotice);
    }
}

}  // namespace lumigal
