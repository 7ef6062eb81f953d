#include "install_wizard/icon_box.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumigal::install {

void layOutIconBox(QDialog* box, const QIcon& icon, QLabel* text,
                   std::initializer_list<QPushButton*> buttons) {
    auto* picture = new QLabel(box);
    picture->setPixmap(icon.pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    for (QPushButton* button : buttons) buttonRow->addWidget(button);
    buttonRow->addStretch();
    auto* layout = new QVBoxLayout(box);
    layout->addLayout(row);
    layout->addSpacing(8);
    layout->addLayout(buttonRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace lumigal::install
