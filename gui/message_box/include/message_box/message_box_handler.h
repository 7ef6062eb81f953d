// The one place through which the programs' dialogs, boxes and setup pages
// show message boxes. A message is data: an identifier naming its
// situation, and what the user sees (icon, caption, text, buttons, default).
// A test (or a silent run) can install an answerer that records each
// message and answers it instead of showing a box. This library needs only
// Qt Widgets, so that the setup program links it without the album.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QPair>
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
    // Buttons shown with a text of their own instead of Qt's ("&Oui").
    QList<QPair<QMessageBox::StandardButton, QString>> buttonTexts = {};
};

class MessageBoxHandler {
public:
    using Answerer =
        std::function<QMessageBox::StandardButton(QWidget* parent, const MessageRecord& message)>;
    // Shows a message in a box of the caller's own look and returns the
    // button (of `message.buttons`) that stands for the way it was closed.
    using Presenter = Answerer;

    // Shows the message modally over `parent` (or hands it to the answerer)
    // and returns the button that closed it. Without a presenter the box is
    // a QMessageBox with the message's plain text.
    static QMessageBox::StandardButton show(QWidget* parent, const MessageRecord& message,
                                            const Presenter& presenter = {});

    // Shortcuts for the usual one-button boxes captioned "Lumigal".
    static void information(QWidget* parent, const QString& identifier, const QString& text);
    static void warning(QWidget* parent, const QString& identifier, const QString& text);
    static void critical(QWidget* parent, const QString& identifier, const QString& text);

    // From now on every message goes to `answerer` instead of a box; an
    // empty answerer brings the real boxes back.
    static void setAnswerer(Answerer answerer);
};

}  // namespace lumigal
