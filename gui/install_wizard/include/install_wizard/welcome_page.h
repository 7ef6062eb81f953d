// The welcome page: the welcome picture, the product and version, and what
// the program is about to do.
#pragma once

#include "install_wizard/setup_page.h"

namespace lumigal::install {

class WelcomePage : public SetupPage {
    Q_OBJECT
public:
    explicit WelcomePage(SetupWizard& wizard);
    void activated() override;
    bool cancelEndsAtOnce() const override { return false; }
};

}  // namespace lumigal::install
