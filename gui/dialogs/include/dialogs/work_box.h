// The base of the modeless boxes shown while work runs on the thread that
// owns them (the progress box and the wait box): the box cannot be closed
// by the user (no close button, Escape does nothing) and is brought up to
// date by explicit repaints; its owner destroys it when the work is over.
// Because no events are processed while the work runs, the box waits at
// opening until it is on screen, so that those repaints reach the screen.
#pragma once

#include "dialogs/lumigal_dialog.h"

namespace lumigal {

class WorkBox : public LumigalDialog {
    Q_OBJECT
public:
    explicit WorkBox(QWidget* parent = nullptr);

public slots:
    void reject() override;

protected:
    // Shows the box and waits (taking no user input, one second at most)
    // until the window system has put it on screen, then paints it.
    void showNow();

    void closeEvent(QCloseEvent* event) override;
};

}  // namespace lumigal
