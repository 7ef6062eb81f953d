// The wait box: shown while the folder scan looks for images. It opens with
// "Recherche en cours..." and "Merci de patienter quelques instants...";
// as the scan's observer it shows "Fichier #%d" with the number of images
// found so far and the path of the last one, repainted at once. It keeps the
// sub-folders that the scan could not list, for the caller to report.
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

    // The sub-folders passed over, in the order of the scan.
    const std::vector<std::string>& skippedFolders() const { return skipped_; }

private:
    std::vector<std::string> skipped_;
    QLabel* count_ = nullptr;
    ElidedLabel* path_ = nullptr;
};

}  // namespace lumigal
