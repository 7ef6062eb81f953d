#include "install_wizard/setup_wizard.h"

#include <QAbstractButton>

#include "install_wizard/background_window.h"
#include "install_wizard/finish_page.h"
#include "install_wizard/folder_page.h"
#include "install/folders.h"
#include "install_wizard/options_page.h"
#include "install_wizard/ready_page.h"
#include "install_wizard/setup_boxes.h"
#include "install_wizard/welcome_page.h"
#include "install/xdg_dirs.h"
#include "platform/registry.h"

namespace lumigal::install {

SetupEnvironment SetupEnvironment::fromSystem() {
    SetupEnvironment environment;
    environment.defaultFolder = QString::fromStdString(defaultInstallFolder().value_or(""));
    environment.setupFolder = ownProgramFolder();
    environment.startMenuRoot = install::startMenuRoot();
    environment.desktopFolder = install::desktopFolder();
    environment.menuFolders = XdgProgramManager::userFolders();
    environment.settingsFolder = platform::Registry::defaultFolder();
    return environment;
}

SetupWizard::SetupWizard(InstallState& state, SetupEnvironment environment,
                         BackgroundWindow* background)
    : QWizard(background),
      state_(state),
      environment_(std::move(environment)),
      background_(background) {
    setObjectName(QStringLiteral("setupWizard"));
    setWindowTitle(QStringLiteral("Lumigal  -  Installation"));
    setAccessibleName(QStringLiteral("Lumigal - Assistant d'Installation"));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage, false);
    setButtonText(QWizard::BackButton, QStringLiteral("< &Précédent"));
    setButtonText(QWizard::NextButton, QStringLiteral("&Suivant >"));
    setButtonText(QWizard::CommitButton, QStringLiteral("&Suivant >"));
    setButtonText(QWizard::FinishButton, QStringLiteral("Terminer"));
    setButtonText(QWizard::CancelButton, QStringLiteral("Annuler"));

    setPage(WelcomeId, new WelcomePage(*this));
    setPage(FolderId, new FolderPage(*this));
    setPage(OptionsId, new OptionsPage(*this));
    setPage(ReadyId, new ReadyPage(*this));
    setPage(FinishId, new FinishPage(*this));
    setStartId(WelcomeId);
    // One size for every page, so that the window does not change from page
    // to page and the texts wrap the same way.
    setMinimumSize(600, 400);
    connect(this, &QWizard::currentIdChanged, this, &SetupWizard::pageActivated);
}

int SetupWizard::exitCode() const { return outcome_ == Outcome::EndedAtOnce ? 0 : 1; }

void SetupWizard::pageActivated(int id) {
    if (auto* page = qobject_cast<SetupPage*>(this->page(id))) page->activated();
}

void SetupWizard::finish() {
    if (background_ != nullptr) background_->end();
    outcome_ = Outcome::Finished;
}

void SetupWizard::abandon(bool endsAtOnce) {
    const bool ok = showAbandon(this);
    if (ok && background_ != nullptr) background_->end();
    if (endsAtOnce) {
        outcome_ = Outcome::EndedAtOnce;
    } else {
        outcome_ = ok ? Outcome::AbandonedEnded : Outcome::AbandonedKept;
    }
    QWizard::reject();
}

void SetupWizard::reject() {
    if (outcome_ != Outcome::Running) {
        QWizard::reject();
        return;
    }
    const auto* page = qobject_cast<const SetupPage*>(currentPage());
    abandon(page != nullptr && page->cancelEndsAtOnce());
}

void SetupWizard::showInstallingButtons() {
    button(QWizard::BackButton)->setEnabled(true);
    button(QWizard::NextButton)->hide();
    button(QWizard::CommitButton)->hide();
    button(QWizard::FinishButton)->show();
    button(QWizard::FinishButton)->setEnabled(false);
}

}  // namespace lumigal::install
