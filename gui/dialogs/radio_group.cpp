#include "dialogs/radio_group.h"

#include <QKeyEvent>

namespace lumigal {

RadioGroup::RadioGroup(std::initializer_list<QRadioButton*> buttons, QObject* parent)
    : QObject(parent), buttons_(buttons) {
    for (QRadioButton* button : buttons_) {
        button->setAutoExclusive(false);
        button->installEventFilter(this);
        connect(button, &QAbstractButton::clicked, this, [this, button] { select(button); });
    }
}

void RadioGroup::select(QRadioButton* button) {
    for (QRadioButton* other : buttons_) other->setChecked(other == button);
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    int step = 0;
    if (key == Qt::Key_Down || key == Qt::Key_Right) step = 1;
    if (key == Qt::Key_Up || key == Qt::Key_Left) step = -1;
    const int index = buttons_.indexOf(static_cast<QRadioButton*>(watched));
    if (step == 0 || index < 0) return QObject::eventFilter(watched, event);
    const int count = static_cast<int>(buttons_.size());
    QRadioButton* next = buttons_.at((index + step + count) % count);
    next->setFocus(Qt::TabFocusReason);
    select(next);
    return true;
}

}  // namespace lumigal
