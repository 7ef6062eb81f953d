// Small pieces shared by the dialogs' layouts: picture buttons, colour
// swatches, and labels with a mnemonic for their field.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>

#include "dialogs/art.h"

class QLabel;
class QLayout;
class QScrollArea;
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

// A scroll area holding `body` (laid out by `layout`), as high as the body
// wants where the screen of `dialog` has room for it and for `reserved`
// more pixels (the buttons below it), lower and scrolled otherwise (a large
// scale factor): the dialog's buttons then stay on the screen.
QScrollArea* makeFittingBody(QLayout* layout, QWidget* dialog, int reserved);

// A label whose mnemonic gives the focus to `buddy`.
QLabel* makeBuddyLabel(const QString& text, QWidget* buddy, QWidget* parent);

}  // namespace lumigal
