#include "install_wizard/folder_page.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/paths.h"
#include "install_wizard/artwork.h"
#include "install/folders.h"
#include "install_wizard/setup_boxes.h"
#include "install_wizard/setup_wizard.h"

namespace lumigal::install {

FolderPage::FolderPage(SetupWizard& wizard) : SetupPage(wizard, sidePicture()) {
    setObjectName(QStringLiteral("page109"));
    QLabel* title = addText(QStringLiteral("Dossier d'installation"), 1007);
    title->setFont(titleFont(this, QStringLiteral("Times New Roman"), 32, 700, true));
    const QString defaultFolder = wizard.environment().defaultFolder;
    addText(QStringLiteral("Lumigal s'installe par défaut dans le dossier\n%1").arg(defaultFolder));
    addText(QStringLiteral("Cliquez le bouton Parcourir pour changer le dossier d'installation"));
    content()->addSpacing(12);

    auto* frame = new QGroupBox(this);
    field_ = new QLineEdit(defaultFolder, frame);
    field_->setObjectName(QStringLiteral("field1006"));
    field_->setMaxLength(static_cast<int>(kMaxPath));
    browseButton_ = new QPushButton(QStringLiteral("Parcourir..."), frame);
    browseButton_->setObjectName(QStringLiteral("button1002"));
    browseButton_->setAutoDefault(false);
    auto* row = new QHBoxLayout(frame);
    row->addWidget(field_, 1);
    row->addWidget(browseButton_);
    content()->addWidget(frame);
    content()->addStretch(1);
    connect(browseButton_, &QPushButton::clicked, this, &FolderPage::browse);

    wizard.state().installFolder.clear();
}

void FolderPage::browse() {
    if (const std::optional<QString> folder = browseInstallFolder(this, QStringLiteral("/"))) {
        field_->setText(*folder);
        setup().state().installFolder = folder->toStdString();
    }
}

bool FolderPage::validatePage() {
    InstallState& state = setup().state();
    const std::string typed = field_->text().toStdString();
    if (typed.empty()) {
        showEmptyFolder(this);
        field_->setFocus();
        return false;
    }
    const std::string folder = normaliseTypedFolder(typed);
    if (!folderIsWritable(folder) && !askCreateFolder(this, QString::fromStdString(folder))) {
        field_->setFocus();
        return false;
    }
    for (std::string& made : createFolderPath(folder)) {
        state.createdFolders.push_back(std::move(made));
    }
    state.installFolder = folder;
    return true;
}

}  // namespace lumigal::install
