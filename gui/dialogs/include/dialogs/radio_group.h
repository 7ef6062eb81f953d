// Radio buttons that behave like a group of a classic dialog: a click (or an
// arrow key) checks one button and clears the others, while the program may
// set any combination, several checked or none, and the buttons show it.
// Screen readers are told they are radio buttons (not the check boxes Qt
// makes of buttons that are not auto-exclusive); a group's buttons share
// their parent widget, with no other radio button, which is how assistive
// tools find the group.
#pragma once

#include <QList>
#include <QObject>
#include <QRadioButton>
#include <initializer_list>

namespace lumigal {

class RadioGroup : public QObject {
    Q_OBJECT
public:
    RadioGroup(std::initializer_list<QRadioButton*> buttons, QObject* parent);

    // Checks `button` and clears every other button of the group.
    void select(QRadioButton* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QRadioButton*> buttons_;
};

}  // namespace lumigal
