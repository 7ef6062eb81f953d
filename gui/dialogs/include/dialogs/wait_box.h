// The wait box: shown while the folder scan looks for images on a thread of
// its own. It opens with "Recherche en cours..." and "Merci de patienter
// quelques instants..."; as the scan's observer (called on the GUI thread)
// it shows "Fichier #%d" with the number of images found so far and the
// path of the last one. It keeps the sub-folders that the scan could not
// list, for the caller to report. « Annuler » stops the scan (cancelled()).
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "album/progress.h"
#include "dialogs/work_box.h"

class QLabel;

namespace lumigal {

class ElidedLabel;

class WaitBox : public WorkBox, public ScanObserver {
    Q_OBJECT
public:
    // Opens, shows itself and centres itself on the screen.
    explicit WaitBox(QWidget* parent = nullptr);

    // "Fichier #%d" with `count`.
    static QString countLine(int count);

    void fileAdded(const std::string& path, int count) override;
    void folderSkipped(const std::string& path) override;
    bool cancelled() const override { return cancelRequested(); }

    // The sub-folders passed over, in the order of the scan.
    const std::vector<std::string>& skippedFolders() const { return skipped_; }

protected:
    void showStopping() override;

private:
    std::vector<std::string> skipped_;
    QLabel* count_ = nullptr;
    ElidedLabel* path_ = nullptr;
};

}  // namespace lumigal
