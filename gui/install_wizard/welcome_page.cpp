#include "install_wizard/welcome_page.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

#include "install_wizard/artwork.h"
#include "install_wizard/background_window.h"
#include "install_wizard/setup_wizard.h"

namespace lumigal::install {

WelcomePage::WelcomePage(SetupWizard& wizard) : SetupPage(wizard, welcomePicture()) {
    setObjectName(QStringLiteral("page107"));
    QLabel* title = addText(QStringLiteral("Lumigal\n\nVERSION 1.16"), 1007);
    title->setFont(titleFont(this, QStringLiteral("MS Sans Serif"), 12, 700, false));
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    content()->addWidget(line);
    addText(
        QStringLiteral("Bienvenue dans le programme d'installation de Lumigal.\n"
                       "Ce programme va installer Lumigal sur votre ordinateur."));
    addText(
        QStringLiteral("Il est recommandé de fermer toutes les autres applications "
                       "actuellement actives avant de commencer l'installation."));
    addText(
        QStringLiteral("Cliquer Suivant pour continuer l'installation, ou Annuler pour "
                       "sortir de l'application."));
    content()->addStretch(1);
}

void WelcomePage::activated() {
    setup().setWindowIcon(wizardIcon());
    centreWindow(&setup());
}

}  // namespace lumigal::install
