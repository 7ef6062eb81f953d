// The install folder page: the folder field and its browser. Leaving it with
// Next checks the folder: an empty field is refused; a folder that cannot be
// written (the write test) brings the question whether to create it; the
// folder and its missing parents are then created.
#pragma once

#include "install_wizard/setup_page.h"

class QLineEdit;
class QPushButton;

namespace lumigal::install {

class FolderPage : public SetupPage {
    Q_OBJECT
public:
    explicit FolderPage(SetupWizard& wizard);
    bool validatePage() override;
    bool cancelEndsAtOnce() const override { return false; }

    QLineEdit* folderField() const { return field_; }

private:
    void browse();

    QLineEdit* field_;
    QPushButton* browseButton_;
};

}  // namespace lumigal::install
