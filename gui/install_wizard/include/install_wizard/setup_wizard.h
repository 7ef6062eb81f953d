// The setup wizard: five pages (welcome, install folder, options, ready and
// install, finish) in front of the background window. Cancel, Escape and
// closing the window go through the current page's cancel rule: the abandon
// box, then either the wizard closes (welcome and folder pages) or the
// program ends at once with exit code 0 (the later pages).
#pragma once

#include <QWizard>
#include <filesystem>
#include <optional>
#include <string>

#include "install/install_state.h"
#include "install/xdg_program_manager.h"

namespace lumigal::install {

class BackgroundWindow;

// What the wizard needs to know of the system; tests give their own.
struct SetupEnvironment {
    QString defaultFolder;                     // ~/.local/opt/Lumigal, expanded
    std::string setupFolder;                   // the payload: the setup program's folder
    std::optional<std::string> startMenuRoot;  // ~/.local/share/applications
    std::optional<std::string> desktopFolder;  // nothing: no desktop launcher
    std::optional<XdgProgramManager::Folders> menuFolders;  // nothing: no program group
    std::filesystem::path settingsFolder;                   // the registry store

    static SetupEnvironment fromSystem();
};

class SetupWizard : public QWizard {
    Q_OBJECT
public:
    enum PageId { WelcomeId, FolderId, OptionsId, ReadyId, FinishId };

    enum class Outcome {
        Running,
        Finished,        // Finish: the background was told to end
        AbandonedEnded,  // abandon box closed with OK on an early page
        AbandonedKept,   // abandon box closed with Escape on an early page
        EndedAtOnce,     // cancel on a later page, or "Quitter" on a file
    };

    SetupWizard(InstallState& state, SetupEnvironment environment, BackgroundWindow* background);

    InstallState& state() { return state_; }
    const SetupEnvironment& environment() const { return environment_; }

    Outcome outcome() const { return outcome_; }
    // The program's exit code for the outcome: 0 when it ends at once, 1
    // otherwise (after the background window is closed when it stays).
    int exitCode() const;

    // Finish: tells the background window to end.
    void finish();
    // The abandon box, then the end that the page's rule gives.
    void abandon(bool endsAtOnce);
    // The buttons while the installation step runs: Back, greyed Finish.
    void showInstallingButtons();

public slots:
    void reject() override;

private:
    void pageActivated(int id);

    InstallState& state_;
    SetupEnvironment environment_;
    BackgroundWindow* background_;
    Outcome outcome_ = Outcome::Running;
};

}  // namespace lumigal::install
