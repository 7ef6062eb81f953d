// The file error box: a message about one product file and the choice
// between "Ignorer" (result 1: go on) and "Quitter" (result 0, also Escape:
// stop the installation). Centred on the screen when shown.
#pragma once

#include <QDialog>

namespace lumigal::install {

class FileErrorBox : public QDialog {
    Q_OBJECT
public:
    FileErrorBox(const QString& text, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace lumigal::install
