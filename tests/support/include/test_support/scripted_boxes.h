// Answers the setup program's boxes, folder browsers and shell requests
// without a window. Each box or browser has an identifier; an answer queued
// for it is used first, then its automatic answer, and a box without either
// ends the test program (it would wait for a user). Every showing is logged
// with its text (a browser's with its title).
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <functional>

#include "message_box/message_box_handler.h"
#include "install_wizard/setup_boxes.h"

namespace lumigal::install::test {

// The identifiers under the names the tests use.
namespace Box {
inline constexpr const char* EmptyFolder = kEmptyFolderBox;
inline constexpr const char* CreateFolder = kCreateFolderBox;
inline constexpr const char* FileError = kFileErrorBox;
inline constexpr const char* Abandon = kAbandonBox;
inline constexpr const char* InstallFolderBrowser = kInstallFolderBrowser;
inline constexpr const char* StartMenuBrowser = kStartMenuBrowser;
inline constexpr const char* ConfirmUninstall = kConfirmUninstallBox;
inline constexpr const char* UninstallDone = kUninstallDoneBox;
}  // namespace Box

class ScriptedBoxes {
public:
    // For the boxes, true for the accepting button (OK, Yes, Ignore) and
    // false for the other one (No, Abort, Cancel); for the browsers, the
    // folder picked or nothing for Cancel.
    struct Answer {
        bool accepted = true;
        QString folder;
    };
    struct Shown {
        QString box;
        QString text;
        MessageRecord message;  // a box's whole message (empty for a browser)
    };

    ScriptedBoxes() {
        MessageBoxHandler::setAnswerer([this](QWidget*, const MessageRecord& message) {
            const Answer answer = next(message.identifier, message.text, message);
            return buttonFor(message.buttons, answer.accepted);
        });
        setFolderBrowser(
            [this](QWidget*, const QString& identifier, const QString& title, const QString&) {
                const Answer answer = next(identifier, title);
                return answer.accepted ? std::optional<QString>(answer.folder) : std::nullopt;
            });
        setShellHooks({[this](const QString& path) {
                           if (openDocument) openDocument(path);
                       },
                       [this](const QString& path) {
                           if (startProgram) startProgram(path);
                       }});
    }
    ~ScriptedBoxes() {
        MessageBoxHandler::setAnswerer({});
        setFolderBrowser({});
        setShellHooks({});
    }
    ScriptedBoxes(const ScriptedBoxes&) = delete;
    ScriptedBoxes& operator=(const ScriptedBoxes&) = delete;

    // Forgets every answer, the log and the hooks of the tests.
    void reset() {
        queued_.clear();
        always_.clear();
        log_.clear();
        onShown = nullptr;
        openDocument = nullptr;
        startProgram = nullptr;
    }
    void queueAnswer(const QString& box, Answer answer) { queued_[box].append(answer); }
    // Used whenever the queue of `box` is empty.
    void setAutomaticAnswer(const QString& box, Answer answer) { always_[box] = answer; }
    const QList<Shown>& log() const { return log_; }
    void clearLog() { log_.clear(); }
    // Called as each box comes up (before it is answered).
    std::function<void(const QString& box, const QString& text)> onShown;
    std::function<void(const QString& path)> openDocument;
    std::function<void(const QString& path)> startProgram;

private:
    Answer next(const QString& box, const QString& text, const MessageRecord& message = {}) {
        log_.append({box, text, message});
        if (onShown) onShown(box, text);
        QList<Answer>& queue = queued_[box];
        if (!queue.isEmpty()) return queue.takeFirst();
        if (always_.contains(box)) return always_.value(box);
        qFatal("no answer for the box %s: \"%s\"", qPrintable(box), qPrintable(text));
    }
    static QMessageBox::StandardButton buttonFor(QMessageBox::StandardButtons buttons,
                                                 bool accepted) {
        const QMessageBox::StandardButton order[2][3] = {
            {QMessageBox::No, QMessageBox::Abort, QMessageBox::Cancel},
            {QMessageBox::Yes, QMessageBox::Ignore, QMessageBox::Ok}};
        for (const QMessageBox::StandardButton button : order[accepted ? 1 : 0]) {
            if (buttons.testFlag(button)) return button;
        }
        // A box with OK alone is closed with it whatever the answer.
        if (buttons == QMessageBox::Ok) return QMessageBox::Ok;
        qFatal("no %s button in the box", accepted ? "accepting" : "refusing");
    }

    QMap<QString, QList<Answer>> queued_;
    QMap<QString, Answer> always_;
    QList<Shown> log_;
};

}  // namespace lumigal::install::test
