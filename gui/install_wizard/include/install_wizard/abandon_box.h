// The abandon box: the installation did not complete. OK closes it with 1;
// Escape (its invisible Cancel) with 0. Centred on the screen when shown.
#pragma once

#include <QDialog>

namespace lumigal::install {

class AbandonBox : public QDialog {
    Q_OBJECT
public:
    explicit AbandonBox(QWidget* parent = nullptr);
    static QString message();

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumigal::install
