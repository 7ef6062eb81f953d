// The ready page: the summary of the choices, then, on Next, the
// installation step with its two progress lines. A file error box answered
// with "Quitter" ends the program through the abandon box.
#pragma once

#include "install/install_file.h"
#include "install_wizard/setup_page.h"

class QGroupBox;
class QLabel;

namespace lumigal::install {

class ReadyPage : public SetupPage, private InstallObserver {
    Q_OBJECT
public:
    explicit ReadyPage(SetupWizard& wizard);
    void initializePage() override;
    bool validatePage() override;
    bool cancelEndsAtOnce() const override { return true; }

private:
    void showProgress(const std::string& from, const std::string& to) override;
    FileErrorChoice fileError(FileMessage message, const std::string& text) override;
    bool runInstallation();

    QLabel* title_;
    QGroupBox* frame_;
    QLabel* folderLine_;
    QLabel* startMenuLine_;
    QLabel* groupLine_;
    QLabel* desktopLine_;
    QLabel* footer_;
    QLabel* fromLine_;
    QLabel* toLine_;
    QLabel* animation_;
    QLabel* image_;
};

}  // namespace lumigal::install
