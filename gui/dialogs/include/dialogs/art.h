// The program's pictures, compiled into the program as resources.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace lumigal {

enum class Art {
    Folder,       // a yellow folder: the folder browse buttons
    ColourPie,    // a small pie of red, green and blue: the colour buttons
    PageGrid,     // a page of text with a grid: the page and preferences dialogs
    ProgramIcon,  // a picture with a window in front of it: the program's icon
    OkSign,       // a yellow road sign with a worker digging: the OK button of the page dialog
};

QIcon artIcon(Art art);
QPixmap artPixmap(Art art, const QSize& size);

}  // namespace lumigal
