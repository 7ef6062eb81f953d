// The base of the boxes shown while work runs on a thread of its own (the
// progress box and the wait box): the box blocks its owner window while it
// is open, cannot be closed by the user (no close button, Escape does
// nothing) and offers « Annuler », which asks the work to stop. The
// request is a flag that the work reads from its own thread; the box says
// that the work is stopping and its owner destroys it when the work is over.
#pragma once

#include <atomic>

#include "dialogs/lumigal_dialog.h"

class QPushButton;

namespace lumigal {

class WorkBox : public LumigalDialog {
    Q_OBJECT
public:
    explicit WorkBox(QWidget* parent = nullptr);

    // True once « Annuler » was pressed; safe to read from any thread.
    bool cancelRequested() const { return cancelRequested_.load(std::memory_order_relaxed); }
    // What « Annuler » does: the flag goes up, the button is disabled.
    void requestCancel();

public slots:
    void reject() override;

signals:
    void cancelPressed();

protected:
    // « &Annuler », wired to requestCancel(); the subclass places it.
    QPushButton* makeCancelButton();
    // Called once when the stop is asked, to say so in the box.
    virtual void showStopping() {}

    void closeEvent(QCloseEvent* event) override;

private:
    std::atomic<bool> cancelRequested_{false};
    QPushButton* cancel_ = nullptr;
};

}  // namespace lumigal
