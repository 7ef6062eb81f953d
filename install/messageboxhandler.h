// Every box, folder browser and shell request of the setup program goes
// through this one place, so that tests (and unattended runs) can answer
// them without a window. Each box has an identifier; an answer queued for it
// is used instead of showing the box, and every showing is logged with its
// text.
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <optional>

#include "install/install_file.h"

class QWidget;

namespace lumigal::install {

class MessageBoxHandler {
public:
    enum class Box {
        EmptyFolder,           // "Please select the install folder"
        CreateFolder,          // "%s does not exists. Do you want to create it?"
        FileError,             // FileErrorBox: Ignorer / Quitter
        Abandon,               // AbandonBox: OK / Escape
        InstallFolderBrowser,  // "Select the install folder:"
        StartMenuBrowser,      // the Start-menu folder
        ConfirmUninstall,      // uninst: remove Lumigal?
        UninstallDone,         // uninst: what was removed
    };

    // The answer given in place of the box: for the boxes, true for the
    // accepting button (OK, Yes, Ignorer) and false for the other one (No,
    // Quitter, Escape); for the browsers, the folder picked or nothing for
    // Cancel.
    struct Answer {
        bool accepted = true;
        QString folder;
    };
    void queueAnswer(Box box, Answer answer);
    // Used whenever the queue of `box` is empty.
    void setAutomaticAnswer(Box box, Answer answer);

    struct Shown {
        Box box;
        QString text;
    };
    const QList<Shown>& log() const { return log_; }
    // Called as each box comes up (before it is answered): tests look at
    // the windows behind it from there.
    std::function<void(Box box, const QString& text)> onShown;
    void clearLog() { log_.clear(); }

    // Beeps, then "Please select the install folder" (caption "Kestro", stop icon, OK).
    void emptyFolder(QWidget* parent);
    // Yes/No question about a folder that cannot be written; true for Yes.
    bool askCreateFolder(QWidget* parent, const QString& folder);
    // FileErrorBox with the message text.
    FileErrorChoice fileError(QWidget* parent, const QString& text);
    // AbandonBox; true when closed with OK, false with Escape.
    bool abandon(QWidget* parent);
    // The folder browsers; nothing when cancelled.
    std::optional<QString> browseInstallFolder(QWidget* parent, const QString& start);
    std::optional<QString> browseStartMenuFolder(QWidget* parent, const QString& root);
    // uninst's question and final report.
    bool confirmUninstall(QWidget* parent, const QString& text);
    void uninstallDone(QWidget* parent, const QString& text, bool complete);

    // The shell's "open": a document with its application, a program
    // started on its own. Replaced in tests; failures are ignored.
    std::function<void(const QString& path)> openDocument;
    std::function<void(const QString& path)> startProgram;

    MessageBoxHandler();

private:
    std::optional<Answer> automatic(Box box, const QString& text);

    QMap<Box, QList<Answer>> queued_;
    QMap<Box, Answer> always_;
    QList<Shown> log_;
};

}  // namespace lumigal::install
