// The thumbnail settings dialog, opened from the page creation dialog: the
// thumbnails' size, folder, format and number per table row, whether small
// images are shown themselves, whether thumbnails keep the image's
// proportions (stored only when the box is changed: otherwise the page's
// style decides), and the thumbnail table's border, colours,
// spacing and padding.
//
// OK (result Accepted) stores every value of the dialog, or, when a field
// fails its check, reports the first failing field, keeps the dialog open
// and stores nothing. A border colour is stored as soon as it is chosen and
// stays chosen whatever follows. Cancel (result Rejected) changes nothing
// else. The format list always opens on its first entry.
#pragma once

#include <string>

#include "album/settings.h"
#include "common/colour.h"
#include "common/image_limits.h"
#include "dialogs/lumigal_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace lumigal {

class WrapSpinEdit;

class ThumbnailSettingsDialog : public LumigalDialog {
    Q_OBJECT
public:
    // Message identifiers (MessageBoxHandler).
    static constexpr const char* kWidthInvalid = "thumbnailWidthInvalid";
    static constexpr const char* kHeightInvalid = "thumbnailHeightInvalid";
    static constexpr const char* kPerRowInvalid = "thumbnailsPerRowInvalid";
    static constexpr const char* kFolderTooLong = "thumbnailFolderTooLong";

    // The help context of the dialog in the help manual.
    static constexpr int kHelpContext = 109;

    // `helpFilePath` is the help manual opened by "&Aide".
    ThumbnailSettingsDialog(PageSettings& page, Preferences& prefs, std::string helpFilePath,
                            QWidget* parent = nullptr);
    // For a page of `style` (the one shown in the page dialog, not yet
    // stored): the format and the proportions shown are those that style
    // uses, and a format chosen here is kept for pages of that style.
    ThumbnailSettingsDialog(PageSettings& page, Preferences& prefs, std::string helpFilePath,
                            std::uint32_t style, QWidget* parent = nullptr);

    // The colour a swatch shows for a stored border colour: 0 counts as not
    // chosen and shows white.
    static Colour swatchColour(Colour stored);

private:
    void confirm();
    // Says that the width or height (`side`, "La largeur") is over the
    // largest image side.
    void tooLarge(const char* identifier, const QString& side);
    void chooseColour(Colour& current, Colour& stored, QLabel* swatch);
    void browseFolder();

    PageSettings& page_;
    Preferences& prefs_;
    std::string helpFilePath_;
    std::uint32_t style_;

    Colour borderColour_ = 0;
    Colour darkColour_ = 0;

    QLineEdit* width_ = nullptr;
    QLineEdit* height_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QCheckBox* onlyIfSuitable_ = nullptr;
    QCheckBox* keepProportions_ = nullptr;  // shows what the page's style gives when not chosen
    QLineEdit* perRow_ = nullptr;
    QRadioButton* keepFormat_ = nullptr;
    QRadioButton* convert_ = nullptr;
    QComboBox* format_ = nullptr;
    WrapSpinEdit* border_ = nullptr;
    WrapSpinEdit* cellSpace_ = nullptr;
    WrapSpinEdit* cellPadding_ = nullptr;
    QLabel* borderSwatch_ = nullptr;
    QLabel* darkSwatch_ = nullptr;
};

}  // namespace lumigal
