#include "install/messageboxhandler.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

#include "install/abandonbox.h"
#include "install/fileerrorbox.h"

namespace lumigal::install {

MessageBoxHandler::MessageBoxHandler()
    : openDocument(
          [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }),
      startProgram([](const QString& path) { QProcess::startDetached(path, {}); }) {}

void MessageBoxHandler::queueAnswer(Box box, Answer answer) { queued_[box].append(answer); }

void MessageBoxHandler::setAutomaticAnswer(Box box, Answer answer) { always_[box] = answer; }

std::optional<MessageBoxHandler::Answer> MessageBoxHandler::automatic(Box box,
                                                                      const QString& text) {
    log_.append({box, text});
    if (onShown) onShown(box, text);
    QList<Answer>& queue = queued_[box];
    if (!queue.isEmpty()) return queue.takeFirst();
    if (always_.contains(box)) return always_.value(box);
    return std::nullopt;
}

void MessageBoxHandler::emptyFolder(QWidget* parent) {
    QApplication::beep();
    const QString text = QStringLiteral("Please select the install folder");
    if (automatic(Box::EmptyFolder, text)) return;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Kestro"), text, QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBoxHandler::askCreateFolder(QWidget* parent, const QString& folder) {
    const QString text =
        QStringLiteral("%1 does not exists.\nDo you want to create it?").arg(folder);
    if (const auto answer = automatic(Box::CreateFolder, text)) return answer->accepted;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Lumigal"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

FileErrorChoice MessageBoxHandler::fileError(QWidget* parent, const QString& text) {
    if (const auto answer = automatic(Box::FileError, text)) {
        return answer->accepted ? FileErrorChoice::Ignore : FileErrorChoice::Quit;
    }
    FileErrorBox box(text, parent);
    return box.exec() == 1 ? FileErrorChoice::Ignore : FileErrorChoice::Quit;
}

bool MessageBoxHandler::abandon(QWidget* parent) {
    if (const auto answer = automatic(Box::Abandon, AbandonBox::message())) {
        return answer->accepted;
    }
    AbandonBox box(parent);
    return box.exec() == 1;
}

std::optional<QString> MessageBoxHandler::browseInstallFolder(QWidget* parent,
                                                              const QString& start) {
    const QString title = QStringLiteral("Select the install folder:");
    if (const auto answer = automatic(Box::InstallFolderBrowser, title)) {
        if (!answer->accepted || answer->folder.isEmpty()) return std::nullopt;
        return answer->folder;
    }
    const QString folder = QFileDialog::getExistingDirectory(parent, title, start);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

std::optional<QString> MessageBoxHandler::browseStartMenuFolder(QWidget* parent,
                                                                const QString& root) {
    const QString title =
        QStringLiteral("Sélectionnez l'emplacement du raccourci dans le menu Démarrer:");
    if (const auto answer = automatic(Box::StartMenuBrowser, title)) {
        if (!answer->accepted || answer->folder.isEmpty()) return std::nullopt;
        return answer->folder;
    }
    const QString folder = QFileDialog::getExistingDirectory(parent, title, root);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

bool MessageBoxHandler::confirmUninstall(QWidget* parent, const QString& text) {
    if (const auto answer = automatic(Box::ConfirmUninstall, text)) return answer->accepted;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Lumigal"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Oui"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Non"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void MessageBoxHandler::uninstallDone(QWidget* parent, const QString& text, bool complete) {
    if (automatic(Box::UninstallDone, text)) return;
    QMessageBox box(complete ? QMessageBox::Information : QMessageBox::Warning,
                    QStringLiteral("Lumigal"), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace lumigal::install
