// The setup program's boxes, folder browsers and shell requests. Every box
// is a message of the shared message box handler, named by one of the
// identifiers below, so that tests (and unattended runs) answer it the way
// they answer the dialogs' messages. The browsers and the shell's "open"
// have hooks of their own, since their answer is a folder or nothing.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "install/install_file.h"

class QWidget;

namespace lumigal::install {

// Message identifiers.
inline constexpr char kEmptyFolderBox[] = "emptyFolder";    // no install folder typed
inline constexpr char kCreateFolderBox[] = "createFolder";  // Yes/No: make the folder?
inline constexpr char kFileErrorBox[] = "fileError";        // Ignorer / Quitter
inline constexpr char kAbandonBox[] = "abandon";            // OK / Escape
inline constexpr char kConfirmUninstallBox[] = "confirmUninstall";
inline constexpr char kUninstallDoneBox[] = "uninstallDone";
// Folder browser identifiers.
inline constexpr char kInstallFolderBrowser[] = "installFolderBrowser";
inline constexpr char kStartMenuBrowser[] = "startMenuBrowser";

// Beeps, then "Please select the install folder" (caption "Kestro", stop icon, OK).
void showEmptyFolder(QWidget* parent);
// Yes/No question about a folder that cannot be written; true for Yes.
bool askCreateFolder(QWidget* parent, const QString& folder);
// The file error box with the message text: Ignorer (Ignore) or Quitter (Abort).
FileErrorChoice askFileError(QWidget* parent, const QString& text);
// The abandon box; true when closed with OK, false with Escape (Cancel).
bool showAbandon(QWidget* parent);
// uninst's question (No by default) and final report.
bool confirmUninstall(QWidget* parent, const QString& text);
void showUninstallDone(QWidget* parent, const QString& text, bool complete);

// The folder browsers; nothing when cancelled.
std::optional<QString> browseInstallFolder(QWidget* parent, const QString& start);
std::optional<QString> browseStartMenuFolder(QWidget* parent, const QString& root);
using FolderBrowser = std::function<std::optional<QString>(
    QWidget* parent, const QString& identifier, const QString& title, const QString& start)>;
// Replaces the folder browsers; an empty one brings the real ones back.
void setFolderBrowser(FolderBrowser browser);

// The shell's "open": a document with its application, a program started
// on its own. Failures are ignored.
void openDocument(const QString& path);
void startProgram(const QString& path);
struct ShellHooks {
    std::function<void(const QString& path)> openDocument;
    std::function<void(const QString& path)> startProgram;
};
// Replaces the shell's "open"; empty members bring the real ones back.
void setShellHooks(ShellHooks hooks);

}  // namespace lumigal::install
