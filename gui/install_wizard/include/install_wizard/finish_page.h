// The finish page: the items of the program group, and the choice to show
// the read-me and to start Lumigal when Finish is pressed.
#pragma once

#include "install_wizard/setup_page.h"

class QCheckBox;

namespace lumigal::install {

class FinishPage : public SetupPage {
    Q_OBJECT
public:
    explicit FinishPage(SetupWizard& wizard);
    void activated() override;
    bool validatePage() override;
    bool cancelEndsAtOnce() const override { return true; }

    QCheckBox* readMeBox() const { return readMe_; }
    QCheckBox* launchBox() const { return launch_; }

private:
    QCheckBox* readMe_;
    QCheckBox* launch_;
};

}  // namespace lumigal::install
