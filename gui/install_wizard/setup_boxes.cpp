#include "install_wizard/setup_boxes.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QProcess>
#include <QUrl>
#include <utility>

#include "message_box/message_box_handler.h"
#include "install_wizard/abandon_box.h"
#include "install_wizard/file_error_box.h"

namespace lumigal::install {

namespace {

FolderBrowser& folderBrowser() {
    static FolderBrowser instance;
    return instance;
}

ShellHooks& shellHooks() {
    static ShellHooks instance;
    return instance;
}

QString lumigalCaption() { return QString::fromUtf8(kProgramCaption); }

std::optional<QString> browse(QWidget* parent, const char* identifier, const QString& title,
                              const QString& start) {
    const QString folder =
        folderBrowser() ? folderBrowser()(parent, QString::fromLatin1(identifier), title, start)
                              .value_or(QString())
                        : QFileDialog::getExistingDirectory(parent, title, start);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

}  // namespace

void showEmptyFolder(QWidget* parent) {
    QApplication::beep();
    MessageBoxHandler::show(
        parent, {QString::fromLatin1(kEmptyFolderBox), QMessageBox::Critical,
                 QStringLiteral("Kestro"), QStringLiteral("Please select the install folder")});
}

bool askCreateFolder(QWidget* parent, const QString& folder) {
    const MessageRecord message{
        QString::fromLatin1(kCreateFolderBox), QMessageBox::Question, lumigalCaption(),
        QStringLiteral("%1 does not exists.\nDo you want to create it?").arg(folder),
        QMessageBox::Yes | QMessageBox::No};
    return MessageBoxHandler::show(parent, message) == QMessageBox::Yes;
}

FileErrorChoice askFileError(QWidget* parent, const QString& text) {
    const MessageRecord message{
        QString::fromLatin1(kFileErrorBox),       QMessageBox::Warning, lumigalCaption(), text,
        QMessageBox::Ignore | QMessageBox::Abort, QMessageBox::Ignore};
    const QMessageBox::StandardButton answer =
        MessageBoxHandler::show(parent, message, [](QWidget* owner, const MessageRecord& shown) {
            FileErrorBox box(shown.text, owner);
            return box.exec() == 1 ? QMessageBox::Ignore : QMessageBox::Abort;
        });
    return answer == QMessageBox::Ignore ? FileErrorChoice::Ignore : FileErrorChoice::Quit;
}

bool showAbandon(QWidget* parent) {
    const MessageRecord message{QString::fromLatin1(kAbandonBox),
                                QMessageBox::Warning,
                                lumigalCaption(),
                                AbandonBox::message(),
                                QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Ok};
    const QMessageBox::StandardButton answer =
        MessageBoxHandler::show(parent, message, [](QWidget* owner, const MessageRecord&) {
            AbandonBox box(owner);
            return box.exec() == 1 ? QMessageBox::Ok : QMessageBox::Cancel;
        });
    return answer == QMessageBox::Ok;
}

bool confirmUninstall(QWidget* parent, const QString& text) {
    const MessageRecord message{
        QString::fromLatin1(kConfirmUninstallBox),
        QMessageBox::Question,
        lumigalCaption(),
        text,
        QMessageBox::Yes | QMessageBox::No,
        QMessageBox::No,
        {{QMessageBox::Yes, QStringLiteral("&Oui")}, {QMessageBox::No, QStringLiteral("&Non")}}};
    return MessageBoxHandler::show(parent, message) == QMessageBox::Yes;
}

void showUninstallDone(QWidget* parent, const QString& text, bool complete) {
    MessageBoxHandler::show(parent, {QString::fromLatin1(kUninstallDoneBox),
                                     complete ? QMessageBox::Information : QMessageBox::Warning,
                                     lumigalCaption(), text});
}

std::optional<QString> browseInstallFolder(QWidget* parent, const QString& start) {
    return browse(parent, kInstallFolderBrowser, QStringLiteral("Select the install folder:"),
                  start);
}

std::optional<QString> browseStartMenuFolder(QWidget* parent, const QString& root) {
    return browse(parent, kStartMenuBrowser,
                  QStringLiteral("Sélectionnez l'emplacement du raccourci dans le menu Démarrer:"),
                  root);
}

void setFolderBrowser(FolderBrowser browser) { folderBrowser() = std::move(browser); }

void openDocument(const QString& path) {
    if (shellHooks().openDocument) {
        shellHooks().openDocument(path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void startProgram(const QString& path) {
    if (shellHooks().startProgram) {
        shellHooks().startProgram(path);
        return;
    }
    QProcess::startDetached(path, {});
}

void setShellHooks(ShellHooks hooks) { shellHooks() = std::move(hooks); }

}  // namespace lumigal::install
