// The one place through which the dialogs and boxes show message boxes.
// Each message carries an identifier naming its situation, so a test (or a
// silent run) can install an answerer that records the message and answers
// it instead of showing a box.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace lumigal {

inline constexpr const char* kProgramCaption = "Lumigal";

struct MessageRecord {
    QString identifier;  // situation, for instance "pageNameMissing"
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption = QString::fromUtf8(kProgramCaption);
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

class MessageBoxHandler {
public:
    using Answerer =
        std::function<QMessageBox::StandardButton(QWidget* parent, const MessageRecord& message)>;

    // Shows the message modally over `parent` (or hands it to the answerer)
    // and returns the button that closed it.
    static QMessageBox::StandardButton show(QWidget* parent, const MessageRecord& message);

    // Shortcuts for the usual one-button boxes captioned "Lumigal".
    static void information(QWidget* parent, const QString& identifier, const QString& text);
    static void warning(QWidget* parent, const QString& identifier, const QString& text);
    static void critical(QWidget* parent, const QString& identifier, const QString& text);

    // From now on every message goes to `answerer` instead of a box; an
    // empty answerer brings the real boxes back.
    static void setAnswerer(Answerer answerer);
};

}  // namespace lumigal
