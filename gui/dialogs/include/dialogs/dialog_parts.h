// Small pieces shared by the dialogs' layouts: picture buttons, colour
// swatches, and labels with a mnemonic for their field.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>

#include "dialogs/art.h"

class QLabel;
class QPushButton;
class QWidget;

namespace lumigal {

// A push button that shows `art` at `iconSize` beside `text` (which holds
// its mnemonic); `name` says what it does, for screen readers and as its
// tooltip.
QPushButton* makePictureButton(Art art, const QSize& iconSize, const QString& text,
                               const QString& name, QWidget* parent);

// A label showing `art` at `size`.
QLabel* makePicture(Art art, const QSize& size, QWidget* parent);

// A label used as a colour swatch or a colour preview.
QLabel* makeSwatch(const QString& text, bool sunken, QWidget* parent);

// Paints `swatch` on `background` with its text in `foreground`.
void paintSwatch(QLabel* swatch, const QColor& background, const QColor& foreground);

// A label whose mnemonic gives the focus to `buddy`.
QLabel* makeBuddyLabel(const QString& text, QWidget* buddy, QWidget* parent);

}  // namespace lumigal
