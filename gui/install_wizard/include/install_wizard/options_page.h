// The options page: the program group, the Start-menu launcher (with its
// folder chosen when the page is left) and the desktop launcher.
#pragma once

#include "install_wizard/setup_page.h"

class QCheckBox;

namespace lumigal::install {

class OptionsPage : public SetupPage {
    Q_OBJECT
public:
    explicit OptionsPage(SetupWizard& wizard);
    bool validatePage() override;
    bool cancelEndsAtOnce() const override { return true; }

    QCheckBox* groupBox() const { return group_; }
    QCheckBox* startMenuBox() const { return startMenu_; }
    QCheckBox* desktopBox() const { return desktop_; }

private:
    QCheckBox* group_;
    QCheckBox* startMenu_;
    QCheckBox* desktop_;
};

}  // namespace lumigal::install
