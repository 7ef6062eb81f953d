// Test doubles for the dialogs' hooks: message boxes, colour chooser,
// folder browser and help viewer are answered by the test and recorded;
// the dialogs' controls found by their numbered names; what a folder holds.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "dialogs/gui_helpers.h"
#include "message_box/message_box_handler.h"

namespace lumigal::test {

// The control named `kind` + `id` ("edit1136"); a missing one ends the test
// program, naming it.
template <typename W>
W* control(QWidget& dialog, const char* kind, int id) {
    W* widget = dialog.findChild<W*>(QLatin1String(kind) + QString::number(id));
    if (widget == nullptr) qFatal("control %s%d is missing", kind, id);
    return widget;
}
inline QLineEdit* edit(QWidget& d, int id) { return control<QLineEdit>(d, "edit", id); }
inline QRadioButton* radio(QWidget& d, int id) { return control<QRadioButton>(d, "radio", id); }
inline QCheckBox* check(QWidget& d, int id) { return control<QCheckBox>(d, "check", id); }
inline QPushButton* button(QWidget& d, int id) { return control<QPushButton>(d, "button", id); }
inline QLabel* label(QWidget& d, int id) { return control<QLabel>(d, "static", id); }

// The offscreen platform warns that it cannot pass size hints on to a
// window manager whenever a fixed-size dialog is shown; keep that out of
// the test output.
inline void quietOffscreenWarnings() {
    static const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (message.contains(QLatin1String("does not support propagateSizeHints"))) return;
            previous(type, context, message);
        });
}

// Records every message box and answers it with OK.
class MessageRecorder {
public:
    MessageRecorder() {
        MessageBoxHandler::setAnswerer([this](QWidget*, const MessageRecord& message) {
            messages.append(message);
            return QMessageBox::Ok;
        });
    }
    ~MessageRecorder() { MessageBoxHandler::setAnswerer({}); }
    QStringList identifiers() const {
        QStringList ids;
        for (const MessageRecord& m : messages) ids << m.identifier;
        return ids;
    }
    QList<MessageRecord> messages;
};

// Answers the colour chooser from a queue (nullopt: cancelled).
class ColourChooserStub {
public:
    ColourChooserStub() {
        setColourChooser([this](QWidget*) -> std::optional<Colour> {
            ++calls;
            if (answers.empty()) return std::nullopt;
            const std::optional<Colour> answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    ~ColourChooserStub() { setColourChooser({}); }
    std::deque<std::optional<Colour>> answers;
    int calls = 0;
};

// Answers the folder browser (nullopt: cancelled) and records its titles.
class FolderBrowserStub {
public:
    FolderBrowserStub() {
        setFolderBrowser([this](QWidget*, const QString& title) {
            titles << title;
            return answer;
        });
    }
    ~FolderBrowserStub() { setFolderBrowser({}); }
    std::optional<QString> answer;
    QStringList titles;
};

// Records the help requests.
class HelpStub {
public:
    HelpStub() {
        setHelpOpener([this](QWidget*, const std::string& path, int context) {
            requests.push_back({path, context});
        });
    }
    ~HelpStub() { setHelpOpener({}); }
    struct Request {
        std::string path;
        int context;
    };
    std::vector<Request> requests;
};

// Runs `inspect` on the modal dialog that the next exec() opens, then
// closes that dialog with `result` if it is still open.
inline void whenModalOpens(std::function<void(QWidget*)> inspect, int result = QDialog::Rejected) {
    QTimer::singleShot(0, [inspect = std::move(inspect), result] {
        QWidget* modal = QApplication::activeModalWidget();
        inspect(modal);
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog != nullptr && dialog->isVisible()) dialog->done(result);
    });
}

// The names of the files in `folder` (hidden ones too), sorted.
inline QStringList filesIn(const QString& folder) {
    QStringList names;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System); it.hasNext();)
        names << QFileInfo(it.next()).fileName();
    names.sort();
    return names;
}

}  // namespace lumigal::test
