#include "dialogs/dialog_parts.h"

#include <QLabel>
#include <QGuiApplication>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

namespace lumigal {

QPushButton* makePictureButton(Art art, const QSize& iconSize, const QString& text,
                               const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setIcon(artIcon(art));
    button->setIconSize(iconSize);
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

QLabel* makePicture(Art art, const QSize& size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(artPixmap(art, size));
    label->setFixedSize(size);
    return label;
}

QLabel* makeSwatch(const QString& text, bool sunken, QWidget* parent) {
    auto* swatch = new QLabel(text, parent);
    swatch->setTextFormat(Qt::PlainText);
    swatch->setAlignment(Qt::AlignCenter);
    swatch->setAutoFillBackground(true);
    swatch->setFrameStyle(sunken ? (QFrame::Panel | QFrame::Sunken)
                                 : (QFrame::Box | QFrame::Plain));
    swatch->setForegroundRole(QPalette::WindowText);
    return swatch;
}

void paintSwatch(QLabel* swatch, const QColor& background, const QColor& foreground) {
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, foreground);
    swatch->setPalette(palette);
    swatch->update();
}

QScrollArea* makeFittingBody(QLayout* layout, QWidget* dialog, int reserved) {
    auto* body = new QWidget;
    body->setLayout(layout);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* area = new QScrollArea(dialog);
    area->setObjectName(QStringLiteral("body"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidget(body);
    const QSize wanted = body->sizeHint();
    QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    // Room for the window's frame and title, which are not known yet.
    constexpr int kFrame = 48;
    const int room = screen ? screen->availableGeometry().height() - kFrame - reserved
                            : wanted.height();
    if (wanted.height() <= room) {
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setFixedSize(wanted);
    } else {
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        area->setFixedSize(wanted.width() + area->verticalScrollBar()->sizeHint().width(),
                           std::max(room, 120));
    }
    return area;
}

QLabel* makeBuddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace lumigal
