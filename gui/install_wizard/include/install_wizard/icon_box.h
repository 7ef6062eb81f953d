// The layout of the installer's small message boxes: the icon at the top
// left, the text beside it, the buttons centred below, the box at its
// natural size.
#pragma once

#include <initializer_list>

class QDialog;
class QIcon;
class QLabel;
class QPushButton;

namespace lumigal::install {

// Lays out `box` (the parent of `text` and of the buttons) with a 32x32
// picture of `icon`.
void layOutIconBox(QDialog* box, const QIcon& icon, QLabel* text,
                   std::initializer_list<QPushButton*> buttons);

}  // namespace lumigal::install
