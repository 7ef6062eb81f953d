#include "install_wizard/abandon_box.h"

#include <QLabel>
#include <QPushButton>

#include "install_wizard/artwork.h"
#include "install_wizard/background_window.h"
#include "install_wizard/icon_box.h"

namespace lumigal::install {

QString AbandonBox::message() {
    return QStringLiteral(
        "L'installation de Lumigal ne s'est pas correctement déroulée.\n\n"
        "Vous devrez relancez Install pour la terminer.");
}

AbandonBox::AbandonBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dialog114"));
    setWindowTitle(QStringLiteral("Lumigal"));
    auto* text = new QLabel(message(), this);
    text->setWordWrap(true);
    text->setMinimumWidth(300);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { done(1); });
    layOutIconBox(this, abandonIcon(), text, {ok});
}

void AbandonBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreWindow(this);
}

}  // namespace lumigal::install
