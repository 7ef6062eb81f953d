#include "install_wizard/options_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "install_wizard/artwork.h"
#include "install/folders.h"
#include "install_wizard/setup_boxes.h"
#include "install_wizard/setup_wizard.h"

namespace lumigal::install {

OptionsPage::OptionsPage(SetupWizard& wizard) : SetupPage(wizard, sidePicture()) {
    setObjectName(QStringLiteral("page12008"));
    QLabel* title = addText(QStringLiteral("Options d'installation"), 1007);
    title->setFont(titleFont(this, QStringLiteral("Times New Roman"), 32, 700, true));
    content()->addStretch(1);
    auto addBox = [this](const QString& text, int control) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(QStringLiteral("check%1").arg(control));
        box->setChecked(true);
        content()->addWidget(box);
        return box;
    };
    group_ = addBox(QStringLiteral("Créer un Groupe Lumigal"), 1025);
    startMenu_ = addBox(QStringLiteral("Ajouter au dossier Démarrage\n"
                                       "(Lumigal sera accessible par le bouton Démarrer)."),
                        1028);
    desktop_ = addBox(QStringLiteral("Créer un raccourci Lumigal sur le bureau\n"
                                     "(Lumigal pourra être lancé par double-click sur son "
                                     "icône)."),
                      1043);
    content()->addStretch(1);
    QLabel* footer = addText(QStringLiteral("Cliquez le bouton Suivant pour continuer "
                                            "l'installation ou Précédent pour retrourner à la "
                                            "page précédente."),
                             1035);
    footer->setFont(titleFont(this, QStringLiteral("MS Sans Serif"), 9, 400, false));
    // Leaving this page is the last step that can be taken back: the ready
    // page offers no Back.
    setCommitPage(true);
}

bool OptionsPage::validatePage() {
    InstallState& state = setup().state();
    state.createGroup = group_->isChecked();
    state.addToStartMenu = startMenu_->isChecked();
    state.placeOnDesktop = desktop_->isChecked();
    if (state.addToStartMenu) {
        const std::optional<std::string>& root = setup().environment().startMenuRoot;
        std::optional<QString> picked;
        if (root) {
            // The root is where menus look for launchers; make it if the
            // user has none yet, so the browser opens there.
            for (std::string& made : createFolderPath(*root)) {
                state.createdFolders.push_back(std::move(made));
            }
            picked = browseStartMenuFolder(this, QString::fromStdString(*root));
        }
        if (picked) {
            state.startMenuFolder = picked->toStdString();
        } else {
            state.addToStartMenu = false;
        }
    }
    return true;
}

}  // namespace lumigal::install
