#include "install_wizard/ready_page.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "install_wizard/artwork.h"
#include "install/installation.h"
#include "install_wizard/setup_boxes.h"
#include "install_wizard/setup_wizard.h"
#include "install/xdg_program_manager.h"
#include "platform/registry.h"

namespace lumigal::install {

ReadyPage::ReadyPage(SetupWizard& wizard) : SetupPage(wizard, sidePicture()) {
    setObjectName(QStringLiteral("page111"));
    title_ =
        addText(QStringLiteral("Vous êtes maintenant prêt à copier le logiciel sur votre "
                               "disque."));
    title_->setObjectName(QStringLiteral("title"));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);

    frame_ = new QGroupBox(QStringLiteral("Installation"), this);
    auto* summary = new QVBoxLayout(frame_);
    auto line = [&](int control) {
        auto* label = new QLabel(frame_);
        label->setObjectName(QStringLiteral("text%1").arg(control));
        label->setWordWrap(true);
        summary->addWidget(label);
        return label;
    };
    folderLine_ = line(1037);
    startMenuLine_ = line(1039);
    startMenuLine_->setText(QStringLiteral("Installation dans le menu Démarrer"));
    groupLine_ = line(1042);
    groupLine_->setText(QStringLiteral("Créer un groupe Lumigal"));
    desktopLine_ = line(1043);
    desktopLine_->setText(QStringLiteral("Placer Lumigal sur le Bureau Windows."));
    content()->addWidget(frame_);

    footer_ =
        addText(QStringLiteral("Cliquez le bouton Suivant pour démarrer la copie des "
                               "fichiers."));
    footer_->setObjectName(QStringLiteral("footer"));
    fromLine_ = addText(QString(), 1003);
    toLine_ = addText(QString(), 1004);
    for (QLabel* progress : {fromLine_, toLine_}) {
        progress->setTextFormat(Qt::PlainText);
        progress->setWordWrap(true);
    }
    // The installer carries no clip and no picture for these two areas: they
    // are shown empty during the installation step.
    animation_ = addText(QString(), 1044);
    animation_->setAlignment(Qt::AlignCenter);
    image_ = addText(QString(), 1033);
    animation_->hide();
    image_->hide();
    content()->addStretch(1);
}

void ReadyPage::initializePage() {
    const InstallState& state = setup().state();
    folderLine_->setText(QString::fromStdString(state.installFolder));
    startMenuLine_->setVisible(state.addToStartMenu);
    groupLine_->setVisible(state.createGroup);
    desktopLine_->setVisible(state.placeOnDesktop);
}

bool ReadyPage::validatePage() {
    if (runInstallation()) return true;
    setup().abandon(true);
    return false;
}

bool ReadyPage::runInstallation() {
    for (QWidget* widget : std::initializer_list<QWidget*>{
             title_, footer_, frame_, folderLine_, startMenuLine_, groupLine_, desktopLine_}) {
        widget->hide();
    }
    animation_->show();
    image_->show();
    setup().showInstallingButtons();
    repaint();

    InstallState& state = setup().state();
    const SetupEnvironment& environment = setup().environment();
    state.setupFolder = environment.setupFolder;

    const std::unique_ptr<ProgramManager> programManager = makeProgramManager(
        environment.menuFolders, installedFilePath(state.installFolder, iconFileName()));
    platform::Registry registry(environment.settingsFolder);
    InstallServices services{registry, *programManager,
                             state.placeOnDesktop ? environment.desktopFolder : std::nullopt};
    return install::runInstallation(state, services, *this) == InstallResult::Completed;
}

void ReadyPage::showProgress(const std::string& from, const std::string& to) {
    fromLine_->setText(QString::fromStdString(from));
    toLine_->setText(QString::fromStdString(to));
    fromLine_->repaint();
    toLine_->repaint();
}

FileErrorChoice ReadyPage::fileError(FileMessage, const std::string& text) {
    return askFileError(this, QString::fromStdString(text));
}

}  // namespace lumigal::install
