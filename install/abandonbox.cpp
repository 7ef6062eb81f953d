#include "install/abandonbox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "install/artwork.h"
#include "install/backgroundwindow.h"

namespace lumigal::install {

QString AbandonBox::message() {
    return QStringLiteral(
        "L'installation de Lumigal ne s'est pas correctement déroulée.\n\n"
        "Vous devrez relancez Install pour la terminer.");
}

AbandonBox::AbandonBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dialog114"));
    setWindowTitle(QStringLiteral("Lumigal"));
    auto* icon = new QLabel(this);
    icon->setPixmap(abandonIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(message(), this);
    text->setWordWrap(true);
    text->setMinimumWidth(300);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { done(1); });

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AbandonBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreWindow(this);
}

}  // namespace lumigal::install
