#include "install_wizard/finish_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "common/paths.h"
#include "install_wizard/artwork.h"
#include "install/file_table.h"
#include "install/installation.h"
#include "install_wizard/setup_boxes.h"
#include "install_wizard/setup_wizard.h"

namespace lumigal::install {

FinishPage::FinishPage(SetupWizard& wizard) : SetupPage(wizard, sidePicture()) {
    setObjectName(QStringLiteral("page118"));
    addText(
        QStringLiteral("L'installation de Lumigal est maintenant terminée.\n"
                       "Vous trouverez dans son groupe les icônes suivantes:"));
    auto* items = new QGridLayout;
    items->setHorizontalSpacing(12);
    const std::pair<QIcon, QString> rows[] = {
        {productIcon(), QStringLiteral("Lumigal")},
        {uninstallIcon(), QStringLiteral("Désinstallation de Lumigal")},
        {helpIcon(), QStringLiteral("Aide de Lumigal")},
        {readMeIcon(), QStringLiteral("Lisez-moi")},
    };
    int row = 0;
    for (const auto& [icon, text] : rows) {
        auto* picture = new QLabel(this);
        picture->setPixmap(icon.pixmap(32, 32));
        items->addWidget(picture, row, 0);
        items->addWidget(new QLabel(text, this), row, 1);
        ++row;
    }
    items->setColumnStretch(1, 1);
    content()->addSpacing(6);
    content()->addLayout(items);
    content()->addStretch(1);
    readMe_ = new QCheckBox(QStringLiteral("Afficher le fichier d'informations"), this);
    readMe_->setObjectName(QStringLiteral("check1042"));
    launch_ = new QCheckBox(QStringLiteral("Lancer Lumigal"), this);
    launch_->setObjectName(QStringLiteral("check1030"));
    content()->addWidget(readMe_);
    content()->addWidget(launch_);
}

void FinishPage::activated() {
    readMe_->setChecked(true);
    launch_->setChecked(true);
}

bool FinishPage::validatePage() {
    const std::string& folder = setup().state().installFolder;
    // The read-me is opened before the program is started.
    if (readMe_->isChecked()) {
        openDocument(QString::fromStdString(installedFilePath(folder, readMeFileName())));
    }
    if (launch_->isChecked()) {
        startProgram(QString::fromStdString(installedProgramPath(folder)));
    }
    setup().finish();
    return true;
}

}  // namespace lumigal::install
