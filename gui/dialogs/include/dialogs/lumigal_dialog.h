// The common base of the program's dialogs and boxes: the caption
// "Lumigal", and centring on the screen each time the window opens.
#pragma once

#include <QDialog>

namespace lumigal {

class LumigalDialog : public QDialog {
    Q_OBJECT
public:
    explicit LumigalDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};

// Gives `widget` the object name `kind` followed by its control number
// (for instance "edit1136"), the name by which tests find it.
template <typename W>
W* numbered(W* widget, const char* kind, int id) {
    widget->setObjectName(QLatin1String(kind) + QString::number(id));
    return widget;
}

}  // namespace lumigal
