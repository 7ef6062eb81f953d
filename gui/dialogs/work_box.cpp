#include "dialogs/work_box.h"

#include <QCloseEvent>
#include <QPushButton>

namespace lumigal {

WorkBox::WorkBox(QWidget* parent) : LumigalDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // The owner window keeps painting but takes no input while work runs.
    setWindowModality(Qt::WindowModal);
}

QPushButton* WorkBox::makeCancelButton() {
    cancel_ = numbered(new QPushButton(QStringLiteral("&Annuler"), this), "button", 2);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &WorkBox::requestCancel);
    return cancel_;
}

void WorkBox::requestCancel() {
    if (cancelRequested_.exchange(true)) return;
    if (cancel_ != nullptr) cancel_->setEnabled(false);
    showStopping();
    emit cancelPressed();
}

void WorkBox::reject() {}

void WorkBox::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace lumigal
