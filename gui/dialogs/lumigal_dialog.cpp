#include "dialogs/lumigal_dialog.h"

#include <QShowEvent>

#include "dialogs/gui_helpers.h"
#include "message_box/message_box_handler.h"

namespace lumigal {

LumigalDialog::LumigalDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kProgramCaption));
}

void LumigalDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) centreOnScreen(this, 0);
}

}  // namespace lumigal
