// The setup program's pictures and icons. The product icon is the program's
// own (resources/art); the others are drawn here.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace lumigal::install {

QIcon productIcon();    // the program icon: wizard, background window, finish page
QIcon wizardIcon();     // the window icon of the wizard
QIcon uninstallIcon();  // finish page: "Désinstallation de Lumigal"
QIcon helpIcon();       // finish page: "Aide de Lumigal"
QIcon readMeIcon();     // finish page: "Lisez-moi"
QIcon abandonIcon();    // the abandon box
QIcon fileErrorIcon();  // the file error box

// 120 x 258: a computer, an opened software box, compact discs and a globe on
// a teal ground, at the left edge of the welcome page.
QPixmap welcomePicture();
// 127 x 251: a computer, a software box, a compact disc and floppy disks on
// the same ground, at the left edge of the other pages.
QPixmap sidePicture();

}  // namespace lumigal::install
