// The page creation dialog, opened by the create-page command once the
// selected-file list holds at least one file. The user names the HTML file,
// titles the page, chooses details or thumbnails, places the text, switches
// centring, separator lines and sorting, picks the three page colours, the
// page style (classic or modern) and whether the album is portable (its
// images copied beside the page, at most a web size when one is given, and
// whether copies at the original size keep where they were taken), whether
// a gallery is made (one album per folder) with how many photos a page,
// and the order of the photos of modern pages and galleries (sort order,
// reversed); "&Vignettes" opens the thumbnail settings dialog.
//
// Every opening starts from "LUM000.htm", "Lumigal" and the colours white
// (background), black (text) and black (information), which it also puts
// into the page values at once. OK (result Accepted) stores the layout
// settings and the page values (`pagePath`, `pageTitle`) into `page`; a
// chosen colour goes into its page value when it is chosen. Cancel (result
// Rejected) changes no setting.
#pragma once

#include <QString>
#include <array>
#include <string>

#include "album/settings.h"
#include "common/colour.h"
#include "common/image_limits.h"
#include "dialogs/lumigal_dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QComboBox;
class QSpinBox;

namespace lumigal {

class ElidedLabel;

class PageCreationDialog : public LumigalDialog {
    Q_OBJECT
public:
    // Message identifiers (MessageBoxHandler).
    static constexpr const char* kNameMissing = "pageNameMissing";
    static constexpr const char* kPathTooLong = "pagePathTooLong";

    static constexpr const char* kDefaultFileName = "LUM000.htm";
    static constexpr const char* kDefaultTitle = "Lumigal";
    static constexpr int kMaxTitleLength = 255;
    static constexpr int kMaxWebSize = static_cast<int>(kMaxImageSide);
    static constexpr int kMaxPerPage = 10000;

    // `selectedFileCount` and `sourceFolder` make the found-files line;
    // `page.pageFolder` is the destination folder of the page; `prefs` and
    // `helpFilePath` are handed on to the thumbnail settings dialog.
    PageCreationDialog(PageSettings& page, Preferences& prefs, std::string helpFilePath,
                       int selectedFileCount, const std::string& sourceFolder,
                       QWidget* parent = nullptr);

    // "%d fichier trouvé dans le dossier %s" for one file, the plural form
    // otherwise.
    static QString foundFilesLine(int count, const QString& folder);

    // The position radio that `position` checks at opening: 1 above,
    // 2 below, 3 left, anything else right. Its control number.
    static int positionControl(int position);

private:
    void confirm();
    void openThumbnailSettings();
    // The web size and the location only mean something for a portable
    // album (a gallery is one), the order for a modern page or a gallery,
    // the photos per page for a gallery.
    void enableOptions();
    // The photos per page the spin box shows for a stored value (0: all on
    // one page).
    static int shownPerPage(std::uint32_t perPage);
    void chooseColour(Colour& current, Colour& pageValue);
    void showColours();

    PageSettings& page_;
    Preferences& prefs_;
    std::string helpFilePath_;

    Colour background_ = 0;
    Colour text_ = 0;
    Colour information_ = 0;

    ElidedLabel* foundFiles_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    QLineEdit* title_ = nullptr;
    QRadioButton* details_ = nullptr;
    QRadioButton* thumbnail_ = nullptr;
    QRadioButton* left_ = nullptr;
    QRadioButton* above_ = nullptr;
    QRadioButton* right_ = nullptr;
    QRadioButton* below_ = nullptr;
    QCheckBox* center_ = nullptr;
    QCheckBox* line_ = nullptr;
    QCheckBox* tri_ = nullptr;
    QRadioButton* classic_ = nullptr;
    QRadioButton* modern_ = nullptr;
    QCheckBox* portable_ = nullptr;
    QSpinBox* webSize_ = nullptr;  // 0: the originals
    QCheckBox* keepLocation_ = nullptr;
    QCheckBox* gallery_ = nullptr;
    QComboBox* order_ = nullptr;   // its index is the sortOrder value
    QCheckBox* reverse_ = nullptr;
    QSpinBox* perPage_ = nullptr;  // 0: all on one page
    QLabel* backgroundSwatch_ = nullptr;
    QLabel* textPreview_ = nullptr;
    QLabel* informationPreview_ = nullptr;
};

}  // namespace lumigal
