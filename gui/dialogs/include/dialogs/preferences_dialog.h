// The preferences dialog, opened from the main window's menu: the default
// starting folder, the default production folder, the thumbnails folder,
// the beep after a generation and opening the new page in the browser.
//
// Each opening starts from `prefs`. OK (result Accepted) stores the five
// values as they are in the dialog, folders as typed, neither checked for
// existence nor created; a folder longer than the platform's path limit is
// refused with a message and then nothing is stored. Cancel (result
// Rejected) changes nothing.
#pragma once

#include "album/settings.h"
#include "dialogs/lumigal_dialog.h"

class QCheckBox;
class QLineEdit;

namespace lumigal {

class PreferencesDialog : public LumigalDialog {
    Q_OBJECT
public:
    // Message identifier (MessageBoxHandler).
    static constexpr const char* kFolderTooLong = "preferencesFolderTooLong";

    // The labels of the three folders, also the titles of their browsers.
    static constexpr const char* kLaunchLabel = "Dossier de lancement par défaut\u00A0:";
    static constexpr const char* kSaveLabel = "Dossier de production par défaut\u00A0:";
    static constexpr const char* kThumbnailLabel = "Dossier d'accueil des vignettes\u00A0:";

    explicit PreferencesDialog(Preferences& prefs, QWidget* parent = nullptr);

private:
    void confirm();
    void browse(QLineEdit* field, const char* title);

    Preferences& prefs_;
    QLineEdit* launchFolder_ = nullptr;
    QLineEdit* saveFolder_ = nullptr;
    QLineEdit* thumbnailFolder_ = nullptr;
    QCheckBox* bip_ = nullptr;
    QCheckBox* launch_ = nullptr;
};

}  // namespace lumigal
