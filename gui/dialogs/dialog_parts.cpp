#include "dialogs/dialog_parts.h"

#include <QLabel>
#include <QPushButton>

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

QLabel* makeBuddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace lumigal
